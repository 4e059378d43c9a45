#pragma once

#include <vector>

#include "dialogs/CDialogModalBase.h"
#include "store/CStrPlace.h"

class QListWidget;

// Chooses one of the places.
class CDialogModalSelectPlace : public CDialogModalBase {
  public:
    CDialogModalSelectPlace(QWidget* parent, int templateId, std::vector<CStrPlace> places);

    // The chosen place after a save.
    const CStrPlace& GetPlace() const { return _chosen; }
    QListWidget* GetList() const { return _list; }

  protected:
    void OnInitDialog() override;
    bool OnSave() override;

  private:
    std::vector<CStrPlace> _places;
    CStrPlace _chosen;
    QListWidget* _list = nullptr;
};
