// The about box: program name, version, a description, the maker's notice and
// two links (home page, support e-mail) handed to the desktop when clicked.
// A fresh box is made for every opening.
#pragma once

#include <QDialog>

class frmAbout : public QDialog {
    Q_OBJECT
public:
    explicit frmAbout(QWidget* parent = nullptr);

    static constexpr const char* kHomePage = "https://scrivlet.example.org/";
    static constexpr const char* kSupportMail = "mailto:support@scrivlet.example.org";

private:
    void setupControls();
};
