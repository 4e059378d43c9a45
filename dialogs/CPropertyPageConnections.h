#pragma once

#include <string>

#include "dialogs/CPropertyPageBase.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QTreeWidget;

// The data connections: each connection with whether it is enabled, connected and always on, the
// preferred connection ("Default": none), the idle-close counters and traffic, and the idle-close
// settings.
class CPropertyPageConnections : public CPropertyPageBase {
  public:
    CPropertyPageConnections() : CPropertyPageBase("PAGE CONNECTIONS", "connections_dialog") {}

    enum Flag { kEnabled, kConnected, kAlwaysOn };

    // Reads the connections and the counters again (the "Refresh" command).
    void Refresh();
    // Turns a flag of the selected connection the other way (connecting answers later).
    void Toggle(int flag);
    QTreeWidget* GetList() const { return _list; }

  protected:
    void OnInitPage() override;
    bool IsSettingsPage() const override { return true; }
    bool OnSave() override;
    void FillMenu(QMenu* menu) override;

  private:
    QTreeWidget* _list = nullptr;
    QComboBox* _preferred = nullptr;
    QCheckBox* _idle = nullptr;
    QLineEdit* _seconds = nullptr;
    QLabel* _counters = nullptr;
};
