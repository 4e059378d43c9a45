#pragma once

#include <QDialog>
#include <vector>

#include "ui/IModalDialog.h"

class CPropertyPageBase;
class CSoftKeyBar;
class QTabWidget;

// The settings sheet: ten pages in tabs over the whole screen, the current page's soft keys at the
// bottom and "Done" beside the tabs to close it.
class CPropertySheetDialogZentrova : public QDialog, public IModalDialog {
  public:
    static constexpr int kPages = 10;

    explicit CPropertySheetDialogZentrova(QWidget* owner);
    ~CPropertySheetDialogZentrova() override;

    // Shows the sheet (at the start page) and returns when it is closed; always 1.
    int DoModal() override;
    void SetStartPage(int index) { _startPage = index; }
    // Builds the sheet and its pages without showing it (also for tests and screenshots).
    void Build();
    CPropertyPageBase* GetPage(int index) const;
    QTabWidget* GetTabs() const { return _tabs; }
    CSoftKeyBar* GetSoftKeys() const { return _keys; }
    void SetCurrentPage(int index);

  private:
    CPropertyPageBase* CreatePage(int index);
    void PageChanged(int index);

    int _startPage = 0;
    bool _built = false;
    QTabWidget* _tabs = nullptr;
    CSoftKeyBar* _keys = nullptr;
    std::vector<CPropertyPageBase*> _pages;  // owned by the tabs
};
