#include "ConsolePrompts.h"

#include <cstdio>

ConsolePrompts::ConsolePrompts() { UserPrompts::setInstance(this); }

ConsolePrompts::~ConsolePrompts() { UserPrompts::setInstance(nullptr); }

void ConsolePrompts::message(const QString& text, Kind, const QString&)
{
    said << text;
    if (print)
        std::fprintf(stderr, "linguaro: %s\n", text.toLocal8Bit().constData());
}

UserPrompts::Answer ConsolePrompts::question(const QString& text, const QString& title)
{
    message(text + QStringLiteral(" (answered No)"), Kind::Question, title);
    return Answer::No;
}

void ConsolePrompts::errorReport(const QString& text) { message(text, Kind::Error, QString()); }
