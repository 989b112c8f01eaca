#pragma once

#include <QObject>
#include <QString>

#include <functional>

class History;
class MainWindow;
namespace TmxFile {
struct Outcome;
}

// File > Export translation memory… and Import translation memory…: the file
// asked for through the prompts, the work on a thread of its own with a
// connection of its own to the history, the outcome told in a message box.
class MemoryFiles : public QObject {
    Q_OBJECT
public:
    explicit MemoryFiles(MainWindow& form);

    // The memory's pieces that hold every word of `words` (all when blank).
    void Export(const QString& words = QString());
    void import();

private:
    void run(const QString& status, std::function<TmxFile::Outcome(History&)> work);

    MainWindow& m_form;
    bool m_busy = false;
};
