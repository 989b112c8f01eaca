#pragma once

class TForm1;

// Translate > Detect language: the source list follows the language the
// detector finds in the source pane, and the status line says what it found
// and how sure it is. When the language cannot be told nothing changes but the
// status line.
class SourceDetection {
public:
    explicit SourceDetection(TForm1& form) : m_form(form) {}

    void detectLanguage();

private:
    TForm1& m_form;
};
