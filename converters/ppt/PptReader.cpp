#include "ByteReader.h"
#include "ConversionError.h"
#include "OleStorage.h"
#include "Presentation.h"
#include "TextBuilder.h"

#include <map>
#include <set>

namespace {

enum RecordType : std::uint16_t {
    DocumentContainer = 0x03e8,
    SlideContainer = 0x03ee,
    SlideAtom = 0x03ef,
    NotesContainer = 0x03f0,
    SlidePersistAtom = 0x03f3,
    MainMaster = 0x03f8,
    OutlineTextRefAtom = 0x0f9e,
    TextHeaderAtom = 0x0f9f,
    TextCharsAtom = 0x0fa0,
    TextBytesAtom = 0x0fa8,
    SlideListWithText = 0x0ff0,
    UserEditAtom = 0x0ff5,
    CurrentUserAtom = 0x0ff6,
    PersistDirectoryAtom = 0x1772,
};

constexpr std::uint32_t kEncryptedToken = 0xf3d1c4df;
constexpr int kMaxDepth = 64;
constexpr std::size_t kMapEntryBytes = 4 * sizeof(void*) + 2 * sizeof(std::uint32_t) + MemoryBudget::kBlockOverhead;

struct Header {
    std::size_t offset;
    std::uint16_t instance;
    std::uint16_t type;
    std::uint32_t length;
    bool container;
    std::size_t body() const { return offset + 8; }
    std::size_t end() const { return offset + 8 + length; }
};

class Ppt {
public:
    explicit Ppt(const OleStorage& storage)
        : m_document(storage.stream("PowerPoint Document")), m_reader(m_document, "presentation stream"),
          m_allowance(m_document.size(), "presentation stream"), m_user(storage.stream("Current User"))
    {
        if (m_document.empty())
            throw ConversionError("not a PowerPoint presentation: the file holds no presentation");
    }

    Presentation read();

private:
    Header header(std::size_t offset) const
    {
        const std::uint16_t verInstance = m_reader.u16(offset);
        Header h{offset, static_cast<std::uint16_t>(verInstance >> 4), m_reader.u16(offset + 2),
                 m_reader.u32(offset + 4), (verInstance & 0x0f) == 0x0f};
        m_reader.require(h.body(), h.length);
        return h;
    }
    // Calls `visit` for each record inside [begin, end), descending into containers.
    template <typename Visit>
    void walk(std::size_t begin, std::size_t end, int depth, Visit&& visit) const;
    std::string atomText(const Header& h) const;
    bool readPersistDirectory(std::map<std::uint32_t, std::uint32_t>& persist, std::uint32_t& documentRef);
    // False, adding nothing, for a drawing that an earlier reference has read already.
    bool drawingText(std::uint32_t persistId, const std::map<std::uint32_t, std::vector<std::string>>& listed,
                     Presentation::Slide& slide, std::uint32_t* notesId);
    Presentation readWholeStream() const;

    std::vector<unsigned char> m_document;
    ByteReader m_reader;
    // saves, slides or containers that share records would have them read again
    mutable ReadAllowance m_allowance;
    std::vector<unsigned char> m_user;
    std::map<std::uint32_t, std::uint32_t> m_persist;
    MemoryCharge m_persistCharge;
    std::set<std::uint32_t> m_drawingsRead;  // offsets of the slides and notes pages read
};

template <typename Visit>
void Ppt::walk(std::size_t begin, std::size_t end, int depth, Visit&& visit) const
{
    if (depth > kMaxDepth)
        throw ConversionError("the file is damaged: its records nest too deeply");
    std::size_t offset = begin;
    while (offset + 8 <= end) {
        const Header h = header(offset);
        if (h.end() > end)
            break;
        m_allowance.spend(8);
        if (visit(h) && h.container)
            walk(h.body(), h.end(), depth + 1, visit);
        offset = h.end();
    }
}

std::string Ppt::atomText(const Header& h) const
{
    // paragraphs end in CR, line breaks inside them are VT: both become line ends
    TextBuilder text;
    if (h.type == TextCharsAtom) {
        std::vector<unsigned char> units(m_reader.at(h.body(), h.length & ~1u),
                                         m_reader.at(h.body(), 0) + (h.length & ~1u));
        for (std::size_t i = 0; i + 1 < units.size(); i += 2)
            if (units[i + 1] == 0 && (units[i] == 0x0d || units[i] == 0x0b))
                units[i] = '\n';
        text.appendUtf16le(units.data(), units.size() / 2);
    } else {
        // the high bytes of these characters are all zero: the low bytes are Latin-1
        for (std::size_t i = 0; i < h.length; ++i) {
            const std::uint8_t c = m_reader.u8(h.body() + i);
            text.append(c == 0x0d || c == 0x0b ? U'\n' : c);
        }
    }
    return text.finish();
}

bool Ppt::readPersistDirectory(std::map<std::uint32_t, std::uint32_t>& persist, std::uint32_t& documentRef)
{
    const ByteReader user(m_user, "current user stream");
    if (!user.has(0, 20) || user.u16(2) != CurrentUserAtom)
        return false;
    if (user.u32(12) == kEncryptedToken)
        throw ConversionError("the presentation is protected by a password");
    std::uint32_t editOffset = user.u32(16);
    std::set<std::uint32_t> seen;
    std::set<std::uint32_t> directories;
    bool first = true;
    // from the last save back to the first; entries of later saves win
    while (seen.insert(editOffset).second) {
        if (!m_reader.has(editOffset, 8 + 28))
            return false;
        const Header edit = header(editOffset);
        if (edit.type != UserEditAtom)
            return false;
        const std::size_t at = edit.body();
        if (first) {
            documentRef = m_reader.u32(at + 16);
            if (edit.length >= 32 && m_reader.u32(at + 28) != 0)
                throw ConversionError("the presentation is protected by a password");
            first = false;
        }
        const std::uint32_t directoryOffset = m_reader.u32(at + 12);
        const Header directory = header(directoryOffset);
        if (directory.type != PersistDirectoryAtom)
            return false;
        // a directory that an earlier save named already added all it has
        std::size_t p = directories.insert(directoryOffset).second ? directory.body() : directory.end();
        m_allowance.spend(8 + (directory.end() - p));
        while (p + 4 <= directory.end()) {
            const std::uint32_t entry = m_reader.u32(p);
            const std::uint32_t id = entry & 0xfffff;
            const std::uint32_t count = entry >> 20;
            p += 4;
            for (std::uint32_t i = 0; i < count && p + 4 <= directory.end(); ++i, p += 4)
                if (persist.emplace(id + i, m_reader.u32(p)).second)
                    m_persistCharge.add(kMapEntryBytes);
        }
        const std::uint32_t previous = m_reader.u32(at + 8);
        if (previous == 0)
            break;
        editOffset = previous;
    }
    return persist.count(documentRef) != 0;
}

bool Ppt::drawingText(std::uint32_t persistId, const std::map<std::uint32_t, std::vector<std::string>>& listed,
                      Presentation::Slide& slide, std::uint32_t* notesId)
{
    const auto found = m_persist.find(persistId);
    const auto outline = listed.find(persistId);
    std::set<std::size_t> used;
    if (found != m_persist.end() && !m_drawingsRead.insert(found->second).second)
        return false;
    if (found != m_persist.end() && m_reader.has(found->second, 8)) {
        const Header container = header(found->second);
        walk(container.body(), container.end(), 0, [&](const Header& h) {
            if (h.type == SlideAtom && notesId && h.length >= 20)
                *notesId = m_reader.u32(h.body() + 16);
            else if (h.type == TextCharsAtom || h.type == TextBytesAtom)
                slide.addLines(atomText(h));
            else if (h.type == OutlineTextRefAtom && outline != listed.end() && h.length >= 4) {
                // a placeholder whose text is kept in the document's outline
                const std::size_t index = m_reader.u32(h.body());
                if (index < outline->second.size() && used.insert(index).second)
                    slide.addLines(outline->second[index]);
            }
            return true;
        });
    }
    if (outline != listed.end())
        for (std::size_t i = 0; i < outline->second.size(); ++i)
            if (!used.count(i))
                slide.addLines(outline->second[i]);
    return true;
}

Presentation Ppt::read()
{
    std::uint32_t documentRef = 0;
    if (!readPersistDirectory(m_persist, documentRef))
        return readWholeStream();
    const Header document = header(m_persist.at(documentRef));
    if (document.type != DocumentContainer)
        return readWholeStream();

    // The document lists its slides (instance 0) and notes (instance 2) in order, each slide's
    // persist reference followed by the texts of its placeholders.
    std::vector<std::uint32_t> slideOrder;
    std::map<std::uint32_t, std::vector<std::string>> listed;
    MemoryCharge listedCharge;
    std::map<std::uint32_t, std::uint32_t> notesById;  // a notes page's id -> its persist reference
    walk(document.body(), document.end(), 0, [&](const Header& h) {
        if (h.type != SlideListWithText)
            return h.container;
        if (h.instance != 0 && h.instance != 2)
            return false;
        std::uint32_t current = 0;
        bool any = false;
        walk(h.body(), h.end(), 0, [&](const Header& item) {
            if (item.type == SlidePersistAtom && item.length >= 4) {
                current = m_reader.u32(item.body());
                any = true;
                if (h.instance == 0 && listed.count(current) == 0)  // a slide listed twice is shown once
                    slideOrder.push_back(current);
                else if (item.length >= 16)
                    notesById[m_reader.u32(item.body() + 12)] = current;
                listed[current];
            } else if (any && (item.type == TextCharsAtom || item.type == TextBytesAtom)) {
                listed[current].push_back(atomText(item));
                listedCharge.add(MemoryBudget::cost(listed[current].back()));
            }
            return false;
        });
        return false;
    });

    Presentation presentation;
    for (const std::uint32_t slideRef : slideOrder) {
        Presentation::Slide slide;
        std::uint32_t notesId = 0;
        // persist references that name a slide already read would only repeat its text
        if (!drawingText(slideRef, listed, slide, &notesId))
            continue;
        const auto notes = notesById.find(notesId);
        if (notesId != 0 && notes != notesById.end())
            drawingText(notes->second, listed, slide, nullptr);
        presentation.slides.push_back(std::move(slide));
    }
    return presentation;
}

// Files without a usable save history: the text atoms in stream order, masters left out.
Presentation Ppt::readWholeStream() const
{
    Presentation presentation;
    walk(0, m_document.size(), 0, [&](const Header& h) {
        if (h.type == MainMaster)
            return false;
        if (h.type == SlideContainer)
            presentation.slides.emplace_back();
        if ((h.type == TextCharsAtom || h.type == TextBytesAtom)) {
            if (presentation.slides.empty())
                presentation.slides.emplace_back();
            presentation.slides.back().addLines(atomText(h));
        }
        return true;
    });
    return presentation;
}

}  // namespace

void Presentation::Slide::addLines(const std::string& text)
{
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        if (end > start) {
            lines.push_back(text.substr(start, end - start));
            m_charge.add(MemoryBudget::cost(lines.back()));
        }
        start = end + 1;
    }
}

Presentation readPptPresentation(const OleStorage& storage) { return Ppt(storage).read(); }
