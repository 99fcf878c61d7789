// The main window: the path to convert (typed, chosen with the file dialog or
// the folder browser, or dropped on the drop area), the subfolder check box,
// the Execute button, and the processing log, which it keeps for the run.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QSize>

#include <functional>
#include <string>

#include "engine/frontEnd.h"

class Application;
class frmAbout;
class frmOption;
class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

class uiForm : public QMainWindow, public ProcessingLog {
    Q_OBJECT
public:
    // The window's outer size, frame and title bar included (6075 x 4455 twips).
    static constexpr QSize kOuterSize{405, 297};

    explicit uiForm(QWidget* parent = nullptr);

    // What the window works on; set once, before initFormValues.
    void attach(Application& app, frmOption& options, std::function<void()> programExit);
    void initFormValues();

    // The processing log: text goes in at its end, wherever the caret is.
    void insert(const std::string& text) override;
    void clear() override;

    // Shutdown: closes the about box if it is open.
    void unloadAbout();

    // Folder in which the next folder browser starts: the program's folder at
    // start-up, then the folder last picked. Not saved.
    std::string userDefaultPath;

    // The open-file dialog and the folder browser. Each answers an empty
    // string when cancelled; tests put their own answers here.
    std::function<std::string(const std::string& title, const std::string& filter)> getOpenFileName;
    std::function<std::string(const std::string& startFolder)> browseFolder;

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

private:
    void setupControls();
    void setupMenus();
    void selectFile();
    void selectFolder();
    void execute();
    void showOptions();
    void showAbout();
    void exitProgram();
    void pathDropped(const QString& path);
    void pinOuterSize();

    Application* app_ = nullptr;
    frmOption* options_ = nullptr;
    std::function<void()> programExit_;
    QPointer<frmAbout> about_;

    QLineEdit* tbFileName_ = nullptr;
    QCheckBox* chkSubFolder_ = nullptr;
    QPushButton* Command2_ = nullptr;
    QPlainTextEdit* tbResult_ = nullptr;
};

// The open-file dialog's filter for a "description|pattern" pair, e.g.
// "PDFファイル(*.PDF)|*.pdf": it shows the description and matches the
// pattern in any letter case.
QString dialogNameFilter(const std::string& filter);
