#include "app/uiMainModule.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "app/myEtcModule.h"
#include "engine/p2tMainModule.h"
#include "engine/p2tOutputModule.h"
#include "platform/paths.h"

namespace fs = std::filesystem;

Application::Application(std::string programFolder, ProgressView& progress, NoticeView& notice, ProcessingLog& log,
                         MessageBoxes& boxes, MessagePump& pump)
    : programFolder(std::move(programFolder)), progress(progress), notice(notice), log(log), boxes(boxes),
      pump(pump), engine(settings, cidTable, progress, log, boxes, pump)
{
}

void setDefaultSettings(Settings& settings) { settings = Settings{}; }

namespace {

constexpr const char* kNewerSection = "extended";
constexpr const char* kCp932Name = "Shift_JIS";
constexpr const char* kUtf8Name = "UTF-8";

} // namespace

void loadSettings(Application& app)
{
    const std::string ini = app.iniFileName();
    if (!fileExists(ini))
        return;
    Settings& s = app.settings;
    // Once the file exists it says everything: a missing key reads as False
    // or as an empty format.
    s.OWConfirm = readProfileBool(ini, "envs", "OWConfirm");
    s.CRLF = readProfileBool(ini, "envs", "CRLF");
    for (int i = 0; i < 2; ++i) {
        s.headfootUse[i] = readProfileBool(ini, "headfoot", "use" + std::to_string(i));
        s.headfootFormat[i] = readProfileString(ini, "headfoot", "format" + std::to_string(i));
    }
    s.subFolder = readProfileBool(ini, "envs", "subFolder");
    // The newer keys have a section of their own, and a missing or unknown
    // value leaves the default, so that older files read as before.
    s.extended = readProfileBool(ini, kNewerSection, "extended");
    s.encoding = readProfileString(ini, kNewerSection, "encoding") == kUtf8Name ? TextEncoding::Utf8
                                                                              : TextEncoding::Cp932;
}

void saveSettings(Application& app)
{
    const std::string ini = app.iniFileName();
    platform::makeSettingsFolder(platform::settingsFolder(app.programFolder)); // the user's, on first use
    const Settings& s = app.settings;
    writeProfileBool(ini, "envs", "OWConfirm", s.OWConfirm);
    writeProfileBool(ini, "envs", "CRLF", s.CRLF);
    for (int i = 0; i < 2; ++i) {
        writeProfileBool(ini, "headfoot", "use" + std::to_string(i), s.headfootUse[i]);
        writeProfileString(ini, "headfoot", "format" + std::to_string(i), s.headfootFormat[i]);
    }
    writeProfileBool(ini, "envs", "subFolder", s.subFolder);
    writeProfileBool(ini, kNewerSection, "extended", s.extended);
    writeProfileString(ini, kNewerSection, "encoding", s.encoding == TextEncoding::Utf8 ? kUtf8Name : kCp932Name);
}

namespace {

bool endsWithPdf(const std::string& name)
{
    if (name.size() < 4)
        return false;
    std::string tail = name.substr(name.size() - 4);
    std::transform(tail.begin(), tail.end(), tail.begin(), [](char c) {
        return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
    });
    return tail == ".PDF";
}

} // namespace

void addTargetPDFFile(Application& app, const std::string& fileName)
{
    ++app.run.targetCount;
    app.notice.setFileNum(std::to_string(app.run.targetCount));
    app.pump.letMessagesThrough();
    app.run.targetFiles.resize(static_cast<size_t>(app.run.targetCount));
    app.run.targetFiles[static_cast<size_t>(app.run.targetCount - 1)] = fileName;
}

bool searchPDF(Application& app, std::string& folderPath)
{
    if (folderPath.empty() || folderPath.back() != '/')
        folderPath += '/';
    app.notice.setFolderName(folderPath);
    app.pump.letMessagesThrough();

    // Links to folders are followed, but each folder is searched once per run,
    // so a link that leads back up the tree cannot make the search endless.
    struct stat st{};
    if (stat(folderPath.c_str(), &st) != 0)
        return false;
    if (!app.run.foldersEntered.insert({st.st_dev, st.st_ino}).second)
        return true;

    // The folder's files, then its subfolders, each in name order, so that
    // every run visits them in the same order. A folder that cannot be listed
    // ends the search like one that cannot be opened.
    std::vector<std::string> files, folders;
    std::error_code ec;
    fs::directory_iterator it(folderPath, ec);
    if (ec)
        return false;
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec)
            return false;
        std::error_code typeError;
        std::string name = it->path().filename().string();
        if (it->is_directory(typeError))
            folders.push_back(name);
        else
            files.push_back(name);
    }
    if (ec)
        return false;
    std::sort(files.begin(), files.end());
    std::sort(folders.begin(), folders.end());

    for (const std::string& name : files) {
        if (++app.searchTick == 300) {
            app.searchTick = 0;
            app.notice.setCaption("フォルダ内検索中…");
        }
        if (app.searchTick % 20 == 0) {
            app.notice.setCaption(app.notice.caption() + "+");
            app.pump.letMessagesThrough();
        }
        if (endsWithPdf(name))
            addTargetPDFFile(app, folderPath + name);
        if (app.notice.noticeCancelPushed())
            return false;
    }
    if (app.settings.subFolder) { // read anew in every folder: the check box may change mid-search
        for (const std::string& name : folders) {
            std::string sub = folderPath + name;
            if (!searchPDF(app, sub))
                return false;
        }
    }
    return true;
}

bool runConversion(Application& app, const std::string& path)
{
    app.run = BatchRun{};
    using Icon = MessageBoxes::Icon;

    if (isFolder(path)) {
        app.notice.show();
        app.notice.setNoticeCancelPushed(false);
        std::string folder = path;
        searchPDF(app, folder);
        app.notice.hide();
        if (app.notice.noticeCancelPushed()) {
            app.run.runCancelled = true;
            app.boxes.showOk("中断されました", Icon::Exclamation);
            return false;
        }
    } else {
        if (!fileExists(path)) {
            app.boxes.showOk("指定されたファイル/フォルダは存在しません\r" + path, Icon::Critical);
            return false;
        }
        if (!endsWithPdf(path)) {
            app.boxes.showOk("指定されたファイルはPDFファイルではありません\r" + path, Icon::Critical);
            return false;
        }
        app.run.targetCount = 1;
        app.run.targetFiles[0] = path;
    }

    app.log.clear();
    app.progress.setCancelButtonPushed(false);
    app.progress.clearForm();
    app.progress.setParentMax(app.run.targetCount);
    app.progress.show();
    app.pump.letMessagesThrough();

    convertTargets(app.engine, app.run, app.jobs);
    app.progress.hide();
    if (!app.progress.cancelButtonPushed())
        app.boxes.showOk("処理が終了しました", Icon::Information);
    return true;
}

bool programStart(Application& app, ProgramWindows& windows)
{
    setDefaultSettings(app.settings);
    loadSettings(app);
    windows.initMainFormValues();
    windows.initOptionFormValues();
    if (!p2tCIDInit(app.cidTable, app.programFolder, app.boxes)) {
        windows.endProcess();
        return false;
    }
    windows.showMainWindow();
    return true;
}

void programExit(Application& app, ProgramWindows& windows)
{
    p2tObjCacheErase(app.engine.objCache);
    app.engine.debugLog.logClose();
    p2tOutputClose(app.engine);
    saveSettings(app);
    windows.unloadWindows();
    windows.endProcess();
}
