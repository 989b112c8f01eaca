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

    TTransfer& owner() const { return m_owner; }

    virtual void setCaption(const QString& text) { Caption = text; }
    virtual void setFileLine(const QString& text) { FileLine = text; }
    virtual void setPosition(int percent) { Position = percent; }
    virtual void setProgressLine(const QString& text) { ProgressLine = text; }
    virtual void setRateLine(const QString& text) { RateLine = text; }
    virtual void setTimeLine(const QString& text) { TimeLine = text; }
    virtual void setElapsedLine(const QString& text) { ElapsedLine = text; }
    virtual void setAnimation(TTransferClip clip)
    {
        Clip = clip;
        Animating = true;
    }
    virtual void stopAnimation() { Animating = false; }
    // End of a run that keeps the dialog open: the Cancel button becomes Close.
    virtual void setFinished(const QString& closeCaption, bool enableOpenFile, bool enableOpenFolder)
    {
        Finished = true;
        CancelCaption = closeCaption;
        OpenFileEnabled = enableOpenFile;
        OpenFolderEnabled = enableOpenFolder;
    }
    virtual void showProgress() { Visible = true; }
    // Asks the dialog to close; granted only when the owner allows it.
    virtual void requestClose();
    // Hides the dialog and frees it (a window defers the deletion to its event loop).
    virtual void dispose()
    {
        Visible = false;
        delete this;
    }
    // The dialog as an object for OnBeforeDialogShow; null without a window.
    virtual QObject* form() { return nullptr; }

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
    static void setFactory(Factory factory);
    static TTransferProgressView* create(TTransfer& owner);

private:
    TTransfer& m_owner;
};

// Disposes a view instead of deleting it, so a window can defer its deletion.
struct TTransferProgressViewDisposer {
    void operator()(TTransferProgressView* view) const { view->dispose(); }
};
using TTransferProgressViewPtr = std::unique_ptr<TTransferProgressView, TTransferProgressViewDisposer>;

// Asks the user for a user name and password under the given window caption;
// False when cancelled (user and password then stay as they were).
using TLoginAsker = std::function<bool(const QString& caption, QString& user, QString& password)>;
void setLoginAsker(TLoginAsker asker);
bool askTransferLogin(const QString& caption, QString& user, QString& password);
