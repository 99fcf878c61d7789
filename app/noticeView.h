// The notice window as the folder search drives it; the engine never sees it.
#pragma once

#include <string>

// The notice window shown while a folder is searched for PDF files.
class NoticeView {
public:
    virtual ~NoticeView() = default;
    virtual void setFolderName(const std::string& folder) = 0; // lbFolderName
    virtual void setFileNum(const std::string& count) = 0;     // lbPDFFileNum
    virtual std::string caption() const = 0;
    virtual void setCaption(const std::string& caption) = 0;
    virtual bool noticeCancelPushed() const = 0;
    virtual void setNoticeCancelPushed(bool pushed) = 0;
    virtual void show() = 0;
    virtual void hide() = 0;
};
