#pragma once

#include <QByteArray>
#include <QString>

// File names as the program can use them. Qt reads names as UTF-8, so a name in another
// encoding (bytes written by a Latin-1 system) would not survive the reading and could not
// be opened.
class LocalFileName {
public:
    // A path that opens the file `name` names: the name itself when it is valid UTF-8;
    // otherwise a link to the file under the same name (its stray bytes shown as U+FFFD) in a
    // private folder kept until the program ends. Names of nothing come back as they read.
    static QString reachable(const QByteArray& name);
};
