#pragma once

// Told whenever the event log's list changes. Called in the thread that logged (any thread),
// outside the log's lock: a listener may log in turn, and one that touches windows posts to
// its own window thread.
class ILogListener {
  public:
    virtual ~ILogListener() = default;
    // `count`: the number of events the log now holds.
    virtual void LogChanged(int count) = 0;
};
