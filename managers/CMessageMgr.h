#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "managers/CMgr.h"

// Sends SMS through the phone's SMS library and mail through its message stores, on the
// manager's worker thread (command 11 mail, 12 SMS), one at a time in the order asked for, after
// the delay given. It has no device status of its own. A send that fails is written to the event
// log.
class CMessageMgr : public CMgr {
  public:
    static constexpr int kCommandSendMail = 11;
    static constexpr int kCommandSendSms = 12;
    // A mail store index that names no store: the store of the "mail_provider" setting, or the
    // first mail account, chosen when the mail is sent.
    static constexpr int kConfiguredStore = -1;

    // The argument of command 11.
    class MailArgument : public CPostArgumentMessage {
      public:
        MailArgument(std::string to, std::string subject, std::string body, int store, int delay)
            : CPostArgumentMessage(0, delay),
              to(std::move(to)),
              subject(std::move(subject)),
              body(std::move(body)),
              store(store) {}
        std::string to;  // addresses separated by ";"
        std::string subject;
        std::string body;
        int store;
    };
    // The argument of command 12.
    class SMSArgument : public CPostArgumentMessage {
      public:
        SMSArgument(std::string number, std::string text, int delay)
            : CPostArgumentMessage(0, delay), number(std::move(number)), text(std::move(text)) {}
        std::string number;
        std::string text;
    };

    CMessageMgr();
    ~CMessageMgr() override;

    static CMessageMgr* GetInstance() { return _instance.load(); }

    void Initialize() override {}
    int IsRefreshSynchronus() override { return 1; }
    int GetMgrId() override { return MGR_MESSAGE; }
    void RefreshStatusChild(int) override {}
    void ForceStatusChild(int, int) override {}
    void SetMaxPower() override {}
    void HandleCommandChild(int, int) override {}
    void HandleCommandChildWithArgument(int command, CPostArgumentMessage* message) override;
    std::string& GetNameMgr(std::string& name) override;
    // Messaging has no status that could be asked for.
    bool HasStatus(int) override { return false; }

    // Any thread: queue a mail (to the store of that index among GetMessagesProviders, or
    // kConfiguredStore) or an SMS; false when the worker took no more commands.
    bool SendMail(const std::string& to, const std::string& subject, const std::string& body, int store,
                  int delaySeconds);
    bool SendSMS(const std::string& number, const std::string& text, int delaySeconds);
    // Worker: the sending itself; true when the message was handed on.
    bool SendMailAsync(MailArgument* mail);
    bool SendSMSAsync(SMSArgument* sms);

    // The display names of the message stores, in table order; false when the messaging system
    // could not be asked.
    bool GetMessagesProviders(std::vector<std::string>& names);
    // The position of the (last) store named as the text of "SMS", -1 when none.
    int GetSMSAccount();
    // The store of a "mail_provider" setting: its index when it is a number, else the store of
    // that name, else (empty, or no such store) the first store that is not the SMS store.
    int StoreOfSetting(const std::string& setting);
    // The index a "mail_provider" text gives at once: a number, else kConfiguredStore.
    static int StoreIndexOfSetting(const std::string& setting);

    // The recipients of a recipient text: split at ";", blanks around each address dropped,
    // empty ones skipped.
    static std::vector<std::string> SplitRecipients(const std::string& text);

  private:
    // The stores' names; `report`: a store without an entry identifier is shown to the user.
    bool ListStores(std::vector<std::string>& names, bool report);
    static int SmsPosition(const std::vector<std::string>& names);
    void LogFailure(const char* resumeKey, const char* descriptionKey, const std::string& who,
                    const std::string& why);

    static std::atomic<CMessageMgr*> _instance;
};
