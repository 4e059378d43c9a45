#include "ui/CButtonConnections.h"

void CButtonConnections::StatusChangedChild() {
    // Only an unreadable manager makes the button unusable.
    if (GetStatus() != -1 && !isEnabled()) {
        setEnabled(true);
    }
}
