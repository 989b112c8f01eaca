#pragma once

#include <QString>

#include <functional>
#include <memory>

class QObject;
class TTransfer;

// Animation clips of the progress dialog.
enum class TTransferClip { Download = 257, Upload = 258, CopyFiles = 0 };

// What the run shows in its progress dialog. This base keeps the texts and
// state (so a run without a window, and tests, can read them); the desktop
// dialog derives from it and mirrors every change onto its widgets.
class TTransferProgressView {
public:
    explicit TTransferProgressView(TTransfer& owner) : m_owner(owner) {}
    virtual ~TTransferProgressView() = default;

    TTransfer& Owner() const { return m_owner; }

    virtual void SetCaption(const QString& text) { Caption = text; }
    virtual void SetFileLine(const QString& text) { FileLine = text; }
    virtual void SetPosition(int percent) { Position = percent; }
    virtual void SetProgressLine(const QString& text) { ProgressLine = text; }
    virtual void SetRateLine(const QString& text) { RateLine = text; }
    virtual void SetTimeLine(const QString& text) { TimeLine = text; }
    virtual void SetElapsedLine(const QString& text) { ElapsedLine = text; }
    virtual void SetAnimation(TTransferClip clip)
    {
        Clip = clip;
        Animating = true;
    }
    virtual void StopAnimation() { Animating = false; }
    // End of a run that keeps the dialog open: the Cancel button becomes Close.
    virtual void SetFinished(const QString& closeCaption, bool enableOpenFile, bool enableOpenFolder)
    {
        Finished = true;
        CancelCaption = closeCaption;
        OpenFileEnabled = enableOpenFile;
        OpenFolderEnabled = enableOpenFolder;
    }
    virtual void Show() { Visible = true; }
    // Asks the dialog to close; granted only when the owner allows it.
    virtual void RequestClose();
    // Hides the dialog and frees it (a window defers the deletion to its event loop).
    virtual void Dispose()
    {
        Visible = false;
        delete this;
    }
    // The dialog as an object for OnBeforeDialogShow; null without a window.
    virtual QObject* Form() { return nullptr; }

    QString Caption;
    QString FileLine;
    int Position = 0;
    QString ProgressLine;
    QString RateLine;
    QString TimeLine;
    QString ElapsedLine;
    QString CancelCaption;
    TTransferClip Clip = TTransferClip::Download;
    bool Animating = false;
    bool Finished = false;
    bool OpenFileEnabled = false;
    bool OpenFolderEnabled = false;
    bool Visible = false;

    // Makes the dialog of every later run; the desktop build registers its window here.
    using Factory = std::function<TTransferProgressView*(TTransfer& owner)>;
    static void SetFactory(Factory factory);
    static TTransferProgressView* Create(TTransfer& owner);

private:
    TTransfer& m_owner;
};

// Disposes a view instead of deleting it, so a window can defer its deletion.
struct TTransferProgressViewDisposer {
    void operator()(TTransferProgressView* view) const { view->Dispose(); }
};
using TTransferProgressViewPtr = std::unique_ptr<TTransferProgressView, TTransferProgressViewDisposer>;

// Asks the user for a user name and password under the given window caption;
// False when cancelled (user and password then stay as they were).
using TLoginAsker = std::function<bool(const QString& caption, QString& user, QString& password)>;
void SetLoginAsker(TLoginAsker asker);
bool AskTransferLogin(const QString& caption, QString& user, QString& password);
