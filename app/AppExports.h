#pragma once

// Functions the program and the dialog library call on the running application.

// Closes the running application through its normal close path so that it is started again ten
// seconds later. Returns at once.
void Restart();

// The body of Restart, shared by the library's and the program's own Restart.
void RequestApplicationRestart();
