#pragma once

#include "MemoryBudget.h"

#include <string>
#include <vector>

class OleStorage;
class ZipArchive;

// The texts of a presentation, slide by slide: each slide's paragraphs (table cells apart) and
// then its speaker notes.
struct Presentation {
    struct Slide {
        std::vector<std::string> lines;  // UTF-8, a tab between the cells of a table row

        // Adds each non-empty line of `text`, counted against the memory budget.
        void addLines(const std::string& text);

    private:
        MemoryCharge m_charge;
    };
    std::vector<Slide> slides;
};

// PowerPoint 97-2003: the slides the last save lists, through its persist directory, so text
// that later saves replaced or deleted is not shown.
Presentation readPptPresentation(const OleStorage& storage);
// Office Open XML presentations (.pptx, .pptm, .potx).
Presentation readPptxPresentation(const ZipArchive& package);
