#pragma once

// The factories of the dialog library, exported by name; the main window and the popups find
// them after loading the library. Each returns a new dialog that its caller runs (DoModal) and
// deletes.

class CStrPlace;
class ICustomTimeDialog;
class IModalDialog;
class QWidget;

#define ZENTROVA_DIALOG_EXPORT extern "C" __attribute__((visibility("default")))

// The settings sheet of ten pages over the owner window.
ZENTROVA_DIALOG_EXPORT IModalDialog* New_CPropertySheetDialogZentrova(QWidget* owner);
ZENTROVA_DIALOG_EXPORT IModalDialog* New_CDialogModalAbout(QWidget* parent, int templateId);
// `place` is filled and `id` receives the new place's id; `edit` non-zero edits `place` instead.
ZENTROVA_DIALOG_EXPORT IModalDialog* New_CDialogModalAddPlace(QWidget* parent, int templateId,
                                                              CStrPlace* place, int edit, int* id);
ZENTROVA_DIALOG_EXPORT IModalDialog* New_CDialogModalChooseImage(QWidget* parent, int templateId);
// `kind`: 0 SMS, 1 mail.
ZENTROVA_DIALOG_EXPORT IModalDialog* New_CDialogModalMessage(QWidget* parent, int templateId, int kind);
ZENTROVA_DIALOG_EXPORT IModalDialog* New_CDialogModalBacklight(QWidget* parent, int templateId);
ZENTROVA_DIALOG_EXPORT IModalDialog* New_CDialogModalTheme(QWidget* parent, int templateId);
ZENTROVA_DIALOG_EXPORT IModalDialog* New_CDialogModalRingTone(QWidget* parent, int templateId);
ZENTROVA_DIALOG_EXPORT IModalDialog* New_CDialogModalCallForward(QWidget* parent, int templateId);
ZENTROVA_DIALOG_EXPORT IModalDialog* New_CDialogSoundLevel(QWidget* parent, int templateId);
ZENTROVA_DIALOG_EXPORT ICustomTimeDialog* New_CDialogModalCustomTime(QWidget* parent, int templateId);
ZENTROVA_DIALOG_EXPORT IModalDialog* New_CDialogModalTextFile(QWidget* parent, int templateId,
                                                              const char* title, const char* file);
