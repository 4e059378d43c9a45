#pragma once

// One status change handed over to another worker thread.
class CStatusMgrCode {
  public:
    CStatusMgrCode(int status, int mgrId, int code) : status(status), mgrId(mgrId), code(code) {}
    virtual ~CStatusMgrCode() = default;

    int status;
    int mgrId;
    int code;
};
