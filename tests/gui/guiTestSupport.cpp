#include "tests/gui/guiTestSupport.h"

#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QRegularExpression>

#include <cstdio>

#include "platform/system.h"

std::vector<std::string> RecordingBoxes::texts() const
{
    std::vector<std::string> result;
    for (const Box& box : shown())
        result.push_back(box.text);
    return result;
}

std::string minimalPdf(const std::string& text)
{
    const std::string content = "BT\n/F1 12 Tf\n1 0 0 1 72 700 Tm\n(" + text + ") Tj\nET\n";
    const std::string objects[] = {
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R >>",
        "<< /Length " + std::to_string(content.size()) + " >>\nstream\n" + content + "endstream",
    };
    std::string pdf = "%PDF-1.4\n";
    std::string xref = "xref\n0 5\n0000000000 65535 f \n";
    int number = 1;
    for (const std::string& object : objects) {
        char entry[32];
        std::snprintf(entry, sizeof entry, "%010zu 00000 n \n", pdf.size());
        xref += entry;
        pdf += std::to_string(number++) + " 0 obj\n" + object + "\nendobj\n";
    }
    const size_t start = pdf.size();
    return pdf + xref + "trailer\n<< /Size 5 /Root 1 0 R >>\nstartxref\n" + std::to_string(start) + "\n%%EOF\n";
}

void writeFile(const QString& path, const std::string& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(bytes.data(), static_cast<qint64>(bytes.size()));
}

std::string readFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll().toStdString();
}

std::vector<std::string> linesOf(const std::string& text)
{
    std::vector<std::string> lines;
    for (const QString& line : QString::fromStdString(text).split(QRegularExpression(QStringLiteral("\r?\n")),
                                                                   Qt::SkipEmptyParts))
        lines.push_back(line.toStdString());
    return lines;
}

void ProgramTest::SetUp()
{
    ASSERT_TRUE(folder_.isValid());
    const QString cid = QString::fromStdString(platform::programFolder()) + QStringLiteral("/AdobeCID.dat");
    ASSERT_TRUE(QFile::copy(cid, folder_.filePath(QStringLiteral("AdobeCID.dat")))) << cid.toStdString();
    program = std::make_unique<DesktopProgram>(folder_.path().toStdString(), &boxes, &pump);
    program->endProcessHook = [this] { ++endProcessCalls; };
}

void ProgramTest::TearDown()
{
    program.reset();
    QCoreApplication::processEvents();
    if (const RecordingBoxes::Box* box = boxes.unseen())
        ADD_FAILURE() << "a message box the test did not expect: " << box->text;
}

QString ProgramTest::makeFolder(const QString& name) const
{
    const QString path = folder_.filePath(name);
    QDir().mkpath(path);
    return path;
}

std::string ProgramTest::logText()
{
    return child<QPlainTextEdit>(program->mainForm(), "tbResult")->toPlainText().toStdString();
}

namespace {

QtMessageHandler previousHandler = nullptr;

// The offscreen platform cannot pass fixed window sizes on and says so each time.
void quietOffscreen(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (!message.contains(QLatin1String("propagateSizeHints")) && previousHandler)
        previousHandler(type, context, message);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    previousHandler = qInstallMessageHandler(quietOffscreen);
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
