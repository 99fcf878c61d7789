// The options dialog: overwrite confirmation, line breaks, extended reading
// and the text files' encoding, and the page header and footer with their
// formats. It edits the settings in memory only;
// they reach the INI file at shutdown.
//
// Control arrays carry their index as a suffix: chkHeader0 / chkHeader1,
// Label10 / Label11 (Label1, index 0 and 1), tbHeaderFormat0 / tbHeaderFormat1;
// index 0 is the page header, index 1 the page footer.
#pragma once

#include <QDialog>

#include "engine/settings.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QTabWidget;

class frmOption : public QDialog {
    Q_OBJECT
public:
    explicit frmOption(Settings& settings, QWidget* parent = nullptr);

    void initFormValues();     // fixed start values, replaced from the settings at each opening
    void loadMemory2Form();    // settings -> controls
    void saveForm2Memory();    // controls -> settings
    void enableFormElements(); // a format row is usable only while its check box is checked

    // Shutdown: closes the dialog if it is open, dropping its edits.
    void unload();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void setupControls();
    QWidget* setupBehaviourPage();
    QWidget* setupPageBreakPage();

    Settings& settings_;
    QTabWidget* SSTab1_ = nullptr;
    QCheckBox* chkOWConfirm_ = nullptr;
    QCheckBox* chkCRLF_ = nullptr;
    QCheckBox* chkExtended_ = nullptr;
    QComboBox* cboEncoding_ = nullptr; // index 0 Shift_JIS, 1 UTF-8
    QCheckBox* chkHeader_[2] = {};
    QLabel* Label1_[2] = {};
    QLineEdit* tbHeaderFormat_[2] = {};
};
