#pragma once

class MainWindow;

// Translate > Detect language: the source list follows the language the
// detector finds in the source pane, and the status line says what it found
// and how sure it is. When the language cannot be told nothing changes but the
// status line.
class SourceDetection {
public:
    explicit SourceDetection(MainWindow& form) : m_form(form) {}

    void detectLanguage();

private:
    MainWindow& m_form;
};
