// The options dialog, the about box, the message boxes and the progress
// window, each as the user meets them.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include "tests/gui/guiTestSupport.h"
#include "ui/frmAbout.h"
#include "ui/uiEtcModule.h"

namespace {

class GuiDialogs : public ProgramTest {
protected:
    void SetUp() override
    {
        ProgramTest::SetUp();
        ASSERT_TRUE(program->start());
    }

    void openOptions(const std::function<void(frmOption*)>& act)
    {
        whileModal<frmOption>([this] { child<QAction>(program->mainForm(), "mnToolOption")->trigger(); }, act);
    }

    void openAbout(const std::function<void(frmAbout*)>& act)
    {
        whileModal<frmAbout>([this] { child<QAction>(program->mainForm(), "mnHelpVersion")->trigger(); }, act);
    }
};

TEST_F(GuiDialogs, OptionsCancelDropsEditsAndOkKeepsThem)
{
    const Settings before = program->app().settings;
    openOptions([&](frmOption* dialog) {
        auto* header = child<QCheckBox>(*dialog, "chkHeader0");
        auto* headerFormat = child<QLineEdit>(*dialog, "tbHeaderFormat0");
        auto* footerFormat = child<QLineEdit>(*dialog, "tbHeaderFormat1");
        // Defaults: the header row in use, the footer row greyed out.
        EXPECT_TRUE(header->isChecked());
        EXPECT_TRUE(headerFormat->isEnabled());
        EXPECT_EQ(headerFormat->text(), QStringLiteral("---%P/%A---"));
        EXPECT_FALSE(footerFormat->isEnabled());
        EXPECT_FALSE(child<QLabel>(*dialog, "Label11")->isEnabled());

        header->click();
        EXPECT_FALSE(headerFormat->isEnabled());
        EXPECT_FALSE(child<QLabel>(*dialog, "Label10")->isEnabled());
        EXPECT_FALSE(footerFormat->isEnabled()) << "the footer row is unaffected";
        header->click();
        EXPECT_TRUE(headerFormat->isEnabled());

        headerFormat->setText(QStringLiteral("edited"));
        child<QCheckBox>(*dialog, "chkCRLF")->click();
        child<QCheckBox>(*dialog, "chkExtended")->click();
        child<QComboBox>(*dialog, "cboEncoding")->setCurrentIndex(1);
        child<QTabWidget>(*dialog, "SSTab1")->setCurrentIndex(1);
        child<QPushButton>(*dialog, "Command2")->click(); // Cancel
    });
    EXPECT_EQ(program->app().settings.headfootFormat[0], before.headfootFormat[0]);
    EXPECT_EQ(program->app().settings.CRLF, before.CRLF);
    EXPECT_FALSE(program->app().settings.extended);
    EXPECT_EQ(program->app().settings.encoding, TextEncoding::Cp932);

    openOptions([&](frmOption* dialog) {
        EXPECT_EQ(child<QTabWidget>(*dialog, "SSTab1")->currentIndex(), 1) << "reopens on the page it showed";
        EXPECT_EQ(child<QLineEdit>(*dialog, "tbHeaderFormat0")->text(), QStringLiteral("---%P/%A---"));
        EXPECT_TRUE(child<QCheckBox>(*dialog, "chkCRLF")->isChecked());

        child<QCheckBox>(*dialog, "chkHeader1")->click();
        auto* footerFormat = child<QLineEdit>(*dialog, "tbHeaderFormat1");
        EXPECT_TRUE(footerFormat->isEnabled());
        footerFormat->clear();
        child<QCheckBox>(*dialog, "chkHeader0")->click(); // off, its text still saved
        child<QLineEdit>(*dialog, "tbHeaderFormat0")->setText(QStringLiteral(" %N "));
        child<QCheckBox>(*dialog, "chkOWConfirm")->click();
        EXPECT_FALSE(child<QCheckBox>(*dialog, "chkExtended")->isChecked());
        child<QCheckBox>(*dialog, "chkExtended")->click();
        EXPECT_EQ(child<QComboBox>(*dialog, "cboEncoding")->currentText(), QStringLiteral("Shift_JIS"));
        child<QComboBox>(*dialog, "cboEncoding")->setCurrentIndex(1);
        // Enter and Escape press neither button.
        QTest::keyClick(footerFormat, Qt::Key_Return);
        QTest::keyClick(footerFormat, Qt::Key_Escape);
        EXPECT_TRUE(dialog->isVisible());
        child<QPushButton>(*dialog, "Command1")->click(); // OK
    });
    const Settings& after = program->app().settings;
    EXPECT_FALSE(after.OWConfirm);
    EXPECT_TRUE(after.CRLF);
    EXPECT_FALSE(after.headfootUse[0]);
    EXPECT_EQ(after.headfootFormat[0], " %N ");
    EXPECT_TRUE(after.headfootUse[1]);
    EXPECT_EQ(after.headfootFormat[1], "");
    EXPECT_TRUE(after.extended);
    EXPECT_EQ(after.encoding, TextEncoding::Utf8);
    EXPECT_FALSE(QFileInfo::exists(iniPath())) << "the INI file changes only at shutdown";

    openOptions([&](frmOption* dialog) {
        EXPECT_FALSE(child<QCheckBox>(*dialog, "chkHeader0")->isChecked());
        EXPECT_FALSE(child<QLineEdit>(*dialog, "tbHeaderFormat0")->isEnabled());
        dialog->close(); // the title-bar close box
    });
    openOptions([&](frmOption* dialog) {
        EXPECT_EQ(child<QTabWidget>(*dialog, "SSTab1")->currentIndex(), 0);
        child<QPushButton>(*dialog, "Command2")->click();
    });
}

TEST_F(GuiDialogs, AboutBoxShowsTheVersionAndHandsLinksToTheDesktop)
{
    UrlRecorder recorder;
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &recorder, "open");
    QDesktopServices::setUrlHandler(QStringLiteral("mailto"), &recorder, "open");
    QPointer<frmAbout> first;
    openAbout([&](frmAbout* about) {
        first = about;
        EXPECT_EQ(about->windowTitle(), QStringLiteral("Scrivletのﾊﾞｰｼﾞｮﾝ情報"));
        EXPECT_EQ(child<QLabel>(*about, "lblVersion")->text(), QStringLiteral("Ver ") + QString::fromLatin1(kVersion));
        QTest::mouseClick(child<QLabel>(*about, "Label3"), Qt::LeftButton);
        QTest::mouseClick(child<QLabel>(*about, "Label5"), Qt::LeftButton);
        QTest::keyClick(about, Qt::Key_Escape);
    });
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("mailto"));
    EXPECT_EQ(recorder.urls, (QStringList{QString::fromLatin1(frmAbout::kHomePage),
                                          QString::fromLatin1(frmAbout::kSupportMail)}));
    EXPECT_TRUE(first.isNull()) << "the box is unloaded when closed";

    openAbout([&](frmAbout* about) {
        EXPECT_EQ(child<QLabel>(*about, "lblVersion")->text(), QStringLiteral("Ver ") + QString::fromLatin1(kVersion));
        QTest::keyClick(about, Qt::Key_Return);
    });

    // Shutdown closes an open about box with everything else.
    openAbout([&](frmAbout* about) {
        program->exit();
        EXPECT_FALSE(about->isVisible());
    });
    EXPECT_EQ(endProcessCalls, 1);
}

TEST(GuiFolderBrowser, OpensWithTheStartFolderSelected)
{
    QTemporaryDir root;
    const QString start = root.filePath(QStringLiteral("start"));
    ASSERT_TRUE(QDir().mkpath(start));
    std::string chosen = "not asked";
    whileModal<QFileDialog>([&] { chosen = browseForFolder(start.toStdString()); },
                            [&](QFileDialog* dialog) {
                                EXPECT_EQ(QDir(dialog->directory()).canonicalPath(), QDir(root.path()).canonicalPath());
                                static_cast<QDialog*>(dialog)->accept(); // the "Choose" button
                            });
    EXPECT_EQ(QDir(QString::fromStdString(chosen)).canonicalPath(), QDir(start).canonicalPath());

    whileModal<QFileDialog>([&] { chosen = browseForFolder(start.toStdString()); },
                            [](QFileDialog* dialog) { dialog->reject(); });
    EXPECT_EQ(chosen, "");
}

TEST(GuiMessageBoxes, ShowCaptionIconLineBreaksAndAnswer)
{
    QtMessageBoxes boxes;
    whileModal<QMessageBox>([&] { boxes.showOk("line one\rline two", MessageBoxes::Icon::Critical); },
                            [](QMessageBox* box) {
                                EXPECT_EQ(box->windowTitle(), QStringLiteral("Scrivlet"));
                                EXPECT_EQ(box->text(), QStringLiteral("line one\nline two"));
                                EXPECT_EQ(box->icon(), QMessageBox::Critical);
                                box->button(QMessageBox::Ok)->click();
                            });
    bool answer = true;
    whileModal<QMessageBox>([&] { answer = boxes.askYesNo("overwrite?", MessageBoxes::Icon::Information); },
                            [](QMessageBox* box) {
                                EXPECT_EQ(box->icon(), QMessageBox::Information);
                                box->button(QMessageBox::No)->click();
                            });
    EXPECT_FALSE(answer);
    whileModal<QMessageBox>([&] { answer = boxes.askYesNo("overwrite?", MessageBoxes::Icon::Exclamation); },
                            [](QMessageBox* box) {
                                EXPECT_EQ(box->icon(), QMessageBox::Warning);
                                box->button(QMessageBox::Yes)->click();
                            });
    EXPECT_TRUE(answer);
}

TEST_F(GuiDialogs, RunWindowsOpenOverTheMainWindowAndQuestionsOverThem)
{
    uiForm& main = program->mainForm();
    main.move(120, 90);
    auto offCentre = [&](QWidget& w) { return (w.frameGeometry().center() - main.frameGeometry().center()).manhattanLength(); };
    program->progress().show();
    EXPECT_LE(offCentre(program->progress()), 4); // centres of even sizes round
    program->progress().hide();
    program->notice().show();
    EXPECT_LE(offCentre(program->notice()), 4);

    QtMessageBoxes boxes;
    boxes.owners = {&program->progress(), &program->notice()};
    whileModal<QMessageBox>([&] { boxes.askYesNo("overwrite?", MessageBoxes::Icon::Information); },
                            [&](QMessageBox* box) {
                                EXPECT_EQ(box->parentWidget(), &program->notice());
                                box->button(QMessageBox::No)->click();
                            });
    program->notice().hide();
}

TEST(GuiQtJapanese, QtDialogsAndButtonsSpeakJapanese)
{
    ASSERT_TRUE(installQtJapanese(*qApp)) << "qt6-translations-l10n is missing";
    QMessageBox box(QMessageBox::Information, QStringLiteral("Scrivlet"), QStringLiteral("?"),
                    QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(box.button(QMessageBox::Yes)->text(), QStringLiteral("はい(&Y)"));
    EXPECT_EQ(box.button(QMessageBox::No)->text(), QStringLiteral("いいえ(&N)"));
    QFileDialog dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    EXPECT_EQ(dialog.labelText(QFileDialog::LookIn), QStringLiteral("アドレス:"));
    EXPECT_EQ(dialog.labelText(QFileDialog::Accept), QStringLiteral("開く(&O)"));
    dialog.setFileMode(QFileDialog::Directory); // the folder browser
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("ディレクトリの検索"));
}

TEST(GuiProgressWindow, ShowsBothBarsAndOnlyTheButtonSetsTheFlag)
{
    progressForm form;
    auto bar = [&](const char* name) { return form.findChild<QProgressBar*>(QString::fromLatin1(name))->value(); };
    auto text = [&](const char* name) { return form.findChild<QLabel*>(QString::fromLatin1(name))->text(); };
    EXPECT_FALSE(form.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));

    form.setParentMax(3);
    form.setParentValue(1);
    form.setChildMax(2);
    form.setChildName("/home/user/report.pdf");
    form.setChildValue(1);
    EXPECT_EQ(bar("pbar2"), 50);
    EXPECT_EQ(text("ppercent2"), QStringLiteral("50%"));
    EXPECT_EQ(bar("pbar1"), 49); // one file done of three, plus half of the second file's share
    EXPECT_EQ(text("ppercent1"), QStringLiteral("49%"));
    EXPECT_EQ(text("nowPDFFileName"), QStringLiteral("report.pdf"));

    form.clearForm();
    EXPECT_EQ(bar("pbar1"), 0);
    EXPECT_EQ(bar("pbar2"), 0);
    EXPECT_EQ(text("ppercent1"), QStringLiteral("0%"));
    EXPECT_EQ(text("ppercent2"), QStringLiteral("0%"));
    EXPECT_EQ(text("nowPDFFileName"), QString());

    form.show();
    form.close();
    EXPECT_FALSE(form.cancelButtonPushed());
    form.findChild<QPushButton*>(QStringLiteral("Command1"))->click();
    EXPECT_TRUE(form.cancelButtonPushed());
    form.clearForm();
    EXPECT_TRUE(form.cancelButtonPushed()) << "only the run clears the flag";
}

} // namespace
