#include "rtf/RtfReader.h"

#include "platform/Cp1252.h"
#include "platform/HexDigit.h"

#include <QHash>
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quillon {

namespace {

constexpr qsizetype kChunkSize = 64 * 1024;
// Text of one format is handed on in pieces of about this many characters, so a huge
// paragraph never has to be held whole by the reader.
constexpr qsizetype kMaxPendingText = 32 * 1024;
constexpr int kMaxFonts = 4096;
constexpr int kMaxColours = 4096;
constexpr qsizetype kMaxFontNameLength = 256;
constexpr std::size_t kMaxWordLength = 32;
constexpr long long kParamLimit = 10'000'000'000LL;

enum class Destination : unsigned char { Body, Skip, FontTable, ColourTable };

// clang-format off
// Every underline style counts as underlined; \ulc (its colour) is not one of them.
constexpr std::string_view kUnderlineWords[] = {
    "ul", "uld", "uldb", "ulw", "ulth", "ulwave", "uldash", "uldashd", "uldashdd", "ulhwave",
    "ulldash", "ulthd", "ulthdash", "ulthdashd", "ulthdashdd", "ulthldash", "ululdbwave"};

// Destinations whose text is not part of the body.
constexpr std::string_view kSkippedDestinations[] = {
    "info", "stylesheet", "pict", "header", "headerl", "headerr", "headerf", "footer", "footerl",
    "footerr", "footerf", "footnote", "annotation", "atnid", "atnauthor", "object", "objdata",
    "fldinst", "xe", "tc", "txe", "rxe", "bkmkstart", "bkmkend", "themedata", "colorschememapping",
    "latentstyles", "datastore", "listtable", "listoverridetable", "rsidtbl", "generator",
    "filetbl", "revtbl", "pgdsctbl", "nonshppict", "shpinst", "sp", "sn", "sv", "template",
    "userprops", "docvar", "xmlnstbl", "password", "author", "title", "subject", "operator",
    "keywords", "comment", "doccomm", "company", "category", "manager", "hlinkbase", "buptim",
    "creatim", "printim", "revtim", "ftnsep", "ftnsepc", "ftncn", "aftnsep", "aftnsepc", "aftncn",
    "pxe", "upr", "private", "pntxta", "pntxtb"};
// clang-format on

struct GroupState {
    Destination destination = Destination::Body;
    int font = -1; // -1: the default font
    int halfPoints = 24;
    int colour = 0;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    int leftIndent = 0;
    int unicodeSkip = 1;
};

int Clamp(long long value, int low, int high)
{
    return static_cast<int>(std::clamp<long long>(value, low, high));
}

bool IsLetter(int c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsDigit(int c)
{
    return c >= '0' && c <= '9';
}

} // namespace

class RtfReader::Parser {
public:
    explicit Parser(RtfSink& sink) : m_sink(sink) { m_pending.reserve(1024); }

    bool run(QIODevice* in, QByteArrayView data)
    {
        m_in = in;
        if (in) {
            m_buffer.resize(kChunkSize);
        } else {
            m_p = data.data();
            m_end = m_p + data.size();
        }
        parse();
        if (!m_finished)
            finishDocument();
        flushText();
        ensureBegun();
        m_sink.end();
        return !m_readError;
    }

private:
    // --- input ---

    bool refill()
    {
        if (!m_in || m_eof)
            return false;
        const qint64 got = m_in->read(m_buffer.data(), m_buffer.size());
        if (got <= 0) {
            m_eof = true;
            m_readError = got < 0;
            return false;
        }
        m_p = m_buffer.constData();
        m_end = m_p + got;
        return true;
    }

    int get()
    {
        if (m_p == m_end && !refill())
            return -1;
        return static_cast<unsigned char>(*m_p++);
    }

    int peek()
    {
        if (m_p == m_end && !refill())
            return -1;
        return static_cast<unsigned char>(*m_p);
    }

    void skipBytes(long long count)
    {
        while (count > 0) {
            if (m_p == m_end && !refill())
                return;
            const long long step = std::min<long long>(count, m_end - m_p);
            m_p += step;
            count -= step;
        }
    }

    // --- main loop ---

    void parse()
    {
        while (!m_finished) {
            const int c = get();
            switch (c) {
            case -1:
                return;
            case '{':
                openGroup();
                break;
            case '}':
                closeGroup();
                break;
            case '\\':
                controlSequence();
                break;
            case '\r':
            case '\n':
                break;
            default:
                if (c >= 0x20 && m_fallbackToSkip == 0 && m_state.destination == Destination::Body)
                    bodyTextRun(c);
                else
                    character(Cp1252ToUnicode(static_cast<unsigned char>(c)));
                break;
            }
        }
    }

    /// Body text starting with the byte c: takes the rest of the run of plain bytes in the
    /// buffer at once, which is most of a report.
    void bodyTextRun(int c)
    {
        bodyCharacter(Cp1252ToUnicode(static_cast<unsigned char>(c)));
        const char* const start = m_p;
        const char* q = start;
        bool ascii = true;
        // Eight bytes at a time while none is a control, a sign RTF gives a meaning, or
        // outside ASCII (any doubt goes to the byte loop below).
        constexpr std::uint64_t kOnes = 0x0101010101010101u;
        constexpr std::uint64_t kHighs = 0x8080808080808080u;
        const auto hasZeroByte = [](std::uint64_t x) { return (x - kOnes) & ~x & kHighs; };
        for (std::uint64_t word; m_end - q >= 8; q += 8) {
            std::memcpy(&word, q, sizeof word);
            if ((word & kHighs) || ((word - 0x20 * kOnes) & kHighs) ||
                hasZeroByte(word ^ ('\\' * kOnes)) || hasZeroByte(word ^ ('{' * kOnes)) ||
                hasZeroByte(word ^ ('}' * kOnes)))
                break;
        }
        while (q != m_end) {
            const auto byte = static_cast<unsigned char>(*q);
            if (byte < 0x20 || byte == '\\' || byte == '{' || byte == '}')
                break;
            ascii = ascii && byte < 0x80;
            ++q;
        }
        if (q == start)
            return;
        if (ascii)
            m_pending.append(QLatin1StringView(start, q - start));
        else
            m_pending.append(DecodeCp1252(QByteArrayView(start, q - start)));
        m_p = q;
        flushLongText();
    }

    void openGroup()
    {
        m_fallbackToSkip = 0;
        if (static_cast<int>(m_stack.size()) >= kMaxGroupDepth) {
            ++m_overflowDepth;
            return;
        }
        m_stack.push_back(m_state);
        m_rootOpened = true;
    }

    void closeGroup()
    {
        m_fallbackToSkip = 0;
        if (m_overflowDepth > 0) {
            --m_overflowDepth;
            return;
        }
        if (m_stack.empty())
            return; // a stray brace
        if (m_state.destination == Destination::FontTable)
            commitFont();
        if (m_stack.size() == 1 && m_rootOpened) {
            // The group that holds the document is closed.
            finishDocument();
            m_finished = true;
        }
        m_state = m_stack.back();
        m_stack.pop_back();
        m_formatDirty = true;
    }

    void controlSequence()
    {
        const int c = get();
        if (c == -1)
            return;
        if (IsLetter(c)) {
            controlWord(c);
            return;
        }
        switch (c) {
        case '\'': {
            int value = 0;
            for (int i = 0; i < 2; ++i) {
                const int digit = HexDigitValue(peek());
                if (digit < 0)
                    break;
                get();
                value = value * 16 + digit;
            }
            character(Cp1252ToUnicode(static_cast<unsigned char>(value)));
            break;
        }
        case '\\':
        case '{':
        case '}':
            character(static_cast<char16_t>(c));
            break;
        case '~':
            character(0x00A0);
            break;
        case '_':
            character(0x2011);
            break;
        case '\r':
        case '\n':
            if (!consumeFallback() && m_state.destination == Destination::Body)
                paragraph();
            break;
        case '*':
            // An ignorable destination: nothing in it is body text we know how to take.
            m_state.destination = Destination::Skip;
            break;
        default:
            // \- (optional hyphen), \: and unknown symbols show nothing, but still count
            // as a fallback character after \u.
            consumeFallback();
            break;
        }
    }

    void controlWord(int first)
    {
        std::array<char, kMaxWordLength> name{};
        std::size_t length = 0;
        name[length++] = static_cast<char>(first);
        while (IsLetter(peek())) {
            const int c = get();
            if (length < name.size())
                name[length++] = static_cast<char>(c);
        }
        bool hasParam = false;
        bool negative = false;
        long long param = 0;
        if (peek() == '-') {
            get();
            negative = true;
        }
        while (IsDigit(peek())) {
            const int c = get();
            hasParam = true;
            if (param < kParamLimit)
                param = param * 10 + (c - '0');
        }
        if (negative)
            param = -param;
        if (peek() == ' ')
            get();

        if (consumeFallback())
            return;
        const std::string_view word(name.data(), length);
        // Every line of a report ends in \par: it skips the table.
        static const WordInfo& par = words().at("par");
        const WordInfo* info = &par;
        if (word != "par") {
            const auto it = words().find(word);
            if (it == words().end())
                return;
            info = &it->second;
        }
        handleWord(*info, Control{hasParam, param, info->character});
    }

    // --- control words ---

    /// A control word as its handler sees it.
    struct Control {
        bool hasParam;
        long long param;
        char16_t character; ///< what a symbol word stands for
    };
    using Handler = void (Parser::*)(const Control&);
    struct WordInfo {
        Handler handler;
        char16_t character = 0;
    };

    /// The control words the reader takes, each with its handler; the rest are skipped.
    static const std::unordered_map<std::string_view, WordInfo>& words()
    {
        static const std::unordered_map<std::string_view, WordInfo> table = [] {
            std::unordered_map<std::string_view, WordInfo> w{
                {"f", {&Parser::onFont}},
                {"fs", {&Parser::onFontSize}},
                {"cf", {&Parser::onColour}},
                {"b", {&Parser::onBold}},
                {"i", {&Parser::onItalic}},
                {"plain", {&Parser::onPlain}},
                {"pard", {&Parser::onParagraphDefault}},
                {"li", {&Parser::onLeftIndent}},
                {"par", {&Parser::onParagraph}},
                {"sect", {&Parser::onParagraph}},
                {"page", {&Parser::onParagraph}},
                {"row", {&Parser::onParagraph}},
                {"line", {&Parser::onLine}},
                {"tab", {&Parser::onTab}},
                {"cell", {&Parser::onTab}},
                {"nestcell", {&Parser::onTab}},
                {"u", {&Parser::onUnicode}},
                {"uc", {&Parser::onUnicodeSkip}},
                {"deff", {&Parser::onDefaultFont}},
                {"fonttbl", {&Parser::onFontTable}},
                {"colortbl", {&Parser::onColourTable}},
                {"red", {&Parser::onRed}},
                {"green", {&Parser::onGreen}},
                {"blue", {&Parser::onBlue}},
                {"bin", {&Parser::onBinary}},
                {"ulnone", {&Parser::onUnderlineNone}},
                {"emdash", {&Parser::onSymbol, 0x2014}},
                {"endash", {&Parser::onSymbol, 0x2013}},
                {"bullet", {&Parser::onSymbol, 0x2022}},
                {"lquote", {&Parser::onSymbol, 0x2018}},
                {"rquote", {&Parser::onSymbol, 0x2019}},
                {"ldblquote", {&Parser::onSymbol, 0x201C}},
                {"rdblquote", {&Parser::onSymbol, 0x201D}},
                {"emspace", {&Parser::onSymbol, 0x2003}},
                {"enspace", {&Parser::onSymbol, 0x2002}},
                {"qmspace", {&Parser::onSymbol, 0x2005}},
                {"zwj", {&Parser::onSymbol, 0x200D}},
                {"zwnj", {&Parser::onSymbol, 0x200C}},
                {"ltrmark", {&Parser::onSymbol, 0x200E}},
                {"rtlmark", {&Parser::onSymbol, 0x200F}},
            };
            for (std::string_view name : kUnderlineWords)
                w.emplace(name, WordInfo{&Parser::onUnderline});
            for (std::string_view name : kSkippedDestinations)
                w.emplace(name, WordInfo{&Parser::onSkipDestination});
            return w;
        }();
        return table;
    }

    void handleWord(const WordInfo& info, const Control& control)
    {
        // The bytes of \bin are passed over wherever it stands; nothing else counts in a
        // destination being skipped.
        if (m_state.destination == Destination::Skip && info.handler != &Parser::onBinary)
            return;
        (this->*info.handler)(control);
    }

    void onBinary(const Control& c)
    {
        if (c.hasParam && c.param > 0)
            skipBytes(c.param);
    }

    void onFont(const Control& c)
    {
        if (m_state.destination == Destination::FontTable) {
            commitFont();
            m_fontEntry = Clamp(c.param, 0, 1 << 30);
        } else {
            m_state.font = c.hasParam ? Clamp(c.param, 0, 1 << 30) : -1;
            m_formatDirty = true;
        }
    }

    void onFontSize(const Control& c)
    {
        m_state.halfPoints = c.hasParam && c.param > 0 ? Clamp(c.param, 2, 3276) : 24;
        m_formatDirty = true;
    }

    void onColour(const Control& c)
    {
        m_state.colour = Clamp(c.param, 0, kMaxColours);
        m_formatDirty = true;
    }

    /// \b, \i, \ul...: on without a number or with one other than 0.
    void setToggle(bool& flag, const Control& c)
    {
        flag = !c.hasParam || c.param != 0;
        m_formatDirty = true;
    }
    void onBold(const Control& c) { setToggle(m_state.bold, c); }
    void onItalic(const Control& c) { setToggle(m_state.italic, c); }
    void onUnderline(const Control& c) { setToggle(m_state.underline, c); }

    void onUnderlineNone(const Control&)
    {
        m_state.underline = false;
        m_formatDirty = true;
    }

    void onPlain(const Control&)
    {
        m_state.font = -1;
        m_state.halfPoints = 24;
        m_state.colour = 0;
        m_state.bold = m_state.italic = m_state.underline = false;
        m_formatDirty = true;
    }

    void onParagraphDefault(const Control&) { m_state.leftIndent = 0; }

    void onLeftIndent(const Control& c) { m_state.leftIndent = Clamp(c.param, -31680, 31680); }

    void onParagraph(const Control&)
    {
        if (m_state.destination == Destination::Body)
            paragraph();
    }

    void onLine(const Control&) { character(QChar::LineSeparator); }

    void onTab(const Control&) { character(u'\t'); }

    void onSymbol(const Control& c) { character(c.character); }

    void onUnicode(const Control& c)
    {
        const long long value = c.param < 0 ? c.param + 65536 : c.param;
        character(static_cast<char16_t>(value & 0xFFFF));
        m_fallbackToSkip = m_state.unicodeSkip;
    }

    void onUnicodeSkip(const Control& c) { m_state.unicodeSkip = Clamp(c.param, 0, 255); }

    void onDefaultFont(const Control& c)
    {
        m_defaultFont = Clamp(c.param, 0, 1 << 30);
        m_formatDirty = true;
    }

    void onFontTable(const Control&)
    {
        m_state.destination = Destination::FontTable;
        m_fontEntry = 0;
        m_fontName.clear();
    }

    void onColourTable(const Control&)
    {
        m_state.destination = Destination::ColourTable;
        m_red = m_green = m_blue = 0;
        m_colourSet = false;
    }

    /// \red, \green, \blue: one part of the colour table's next entry.
    void setColourPart(int& part, const Control& c)
    {
        part = Clamp(c.param, 0, 255);
        m_colourSet = true;
    }
    void onRed(const Control& c) { setColourPart(m_red, c); }
    void onGreen(const Control& c) { setColourPart(m_green, c); }
    void onBlue(const Control& c) { setColourPart(m_blue, c); }

    void onSkipDestination(const Control&) { m_state.destination = Destination::Skip; }

    /// After \uN the next characters are the fallback for readers without Unicode.
    bool consumeFallback()
    {
        if (m_fallbackToSkip <= 0)
            return false;
        --m_fallbackToSkip;
        return true;
    }

    // --- text ---

    void character(char16_t ch)
    {
        if (consumeFallback())
            return;
        switch (m_state.destination) {
        case Destination::Body:
            bodyCharacter(ch);
            break;
        case Destination::FontTable:
            if (ch == u';')
                commitFont();
            else if (m_fontName.size() < kMaxFontNameLength)
                m_fontName.append(QChar(ch));
            break;
        case Destination::ColourTable:
            if (ch == u';')
                commitColour();
            break;
        case Destination::Skip:
            break;
        }
    }

    void bodyCharacter(char16_t ch)
    {
        // Controls and the characters a text document takes for block breaks cannot be
        // part of a paragraph's text.
        if ((ch < 0x20 && ch != u'\t') || ch == 0x2029 || ch == 0xFDD0 || ch == 0xFDD1)
            return;
        startParagraph();
        if (m_formatDirty) {
            RtfCharFormat format = currentFormat();
            if (!(format == m_pendingFormat)) {
                flushText();
                m_pendingFormat = std::move(format);
            }
            m_formatDirty = false;
        }
        m_pending.append(QChar(ch));
        flushLongText();
    }

    /// Hands on the pending text once it is long, never cutting between the halves of a
    /// surrogate pair. Only a run of lone high surrogates, which no report holds, reaches twice
    /// the length: all but its last one go then, so that the text held stays bounded.
    void flushLongText()
    {
        const qsizetype size = m_pending.size();
        if (size < kMaxPendingText)
            return;
        if (!m_pending.back().isHighSurrogate()) {
            flushText();
        } else if (size >= 2 * kMaxPendingText) {
            m_sink.text(QStringView(m_pending).first(size - 1), m_pendingFormat);
            m_pending.remove(0, size - 1);
        }
    }

    /// The text after the last paragraph mark forms the last paragraph, even when it is
    /// empty: its paragraph format is the one in effect at the end.
    void finishDocument()
    {
        if (m_state.destination == Destination::Body || m_inParagraph)
            startParagraph();
    }

    void paragraph()
    {
        startParagraph();
        flushText();
        m_sink.paragraphEnd(RtfParagraphFormat{m_state.leftIndent}, markFormat());
        m_inParagraph = false;
    }

    /// currentFormat(), made anew only when something it is made of has changed since the last
    /// paragraph mark: a report's marks all share one format.
    const RtfCharFormat& markFormat()
    {
        const FormatSource source{m_state.font,  m_state.halfPoints, m_state.colour,
                                  m_state.bold,  m_state.italic,     m_state.underline,
                                  m_defaultFont, m_fonts.size(),     m_colours.size()};
        if (!m_markValid || !(source == m_markSource)) {
            m_markFormat = currentFormat();
            m_markSource = source;
            m_markValid = true;
        }
        return m_markFormat;
    }

    void startParagraph()
    {
        if (m_inParagraph)
            return;
        ensureBegun();
        m_sink.paragraphStart(RtfParagraphFormat{m_state.leftIndent});
        m_inParagraph = true;
    }

    void flushText()
    {
        if (m_pending.isEmpty())
            return;
        m_sink.text(m_pending, m_pendingFormat);
        m_pending.resize(0); // keeps the buffer: clear() would free it once per paragraph
    }

    RtfCharFormat currentFormat() const
    {
        RtfCharFormat format;
        format.fontFamily = fontFamily(m_state.font);
        format.pointSize = m_state.halfPoints / 2.0;
        if (m_state.colour >= 0 && m_state.colour < m_colours.size())
            format.colour = m_colours[m_state.colour];
        format.bold = m_state.bold;
        format.italic = m_state.italic;
        format.underline = m_state.underline;
        return format;
    }

    QString fontFamily(int index) const
    {
        if (index < 0)
            index = m_defaultFont;
        auto it = m_fonts.constFind(index);
        if (it == m_fonts.cend())
            it = m_fonts.constFind(m_defaultFont);
        return it == m_fonts.cend() ? QString() : *it;
    }

    void ensureBegun()
    {
        if (m_begun)
            return;
        m_begun = true;
        RtfDocumentInfo info;
        info.fonts = m_fontOrder;
        info.colours = m_colours;
        info.defaultFontFamily = fontFamily(-1);
        m_sink.begin(info);
    }

    // --- tables ---

    void commitFont()
    {
        const QString name = m_fontName.trimmed();
        m_fontName.clear();
        if (name.isEmpty() || m_fonts.size() >= kMaxFonts || m_fonts.contains(m_fontEntry))
            return;
        m_fonts.insert(m_fontEntry, name);
        m_fontOrder.append(name);
        m_formatDirty = true;
    }

    void commitColour()
    {
        if (m_colours.size() < kMaxColours)
            m_colours.append(m_colourSet ? QColor(m_red, m_green, m_blue) : QColor());
        m_red = m_green = m_blue = 0;
        m_colourSet = false;
        m_formatDirty = true;
    }

    RtfSink& m_sink;

    QIODevice* m_in = nullptr;
    QByteArray m_buffer;
    const char* m_p = nullptr;
    const char* m_end = nullptr;
    bool m_eof = false;
    bool m_readError = false;

    GroupState m_state;
    std::vector<GroupState> m_stack;
    int m_overflowDepth = 0;
    bool m_rootOpened = false;
    bool m_finished = false;
    int m_fallbackToSkip = 0;

    QHash<int, QString> m_fonts;
    QStringList m_fontOrder;
    int m_defaultFont = 0;
    int m_fontEntry = 0;
    QString m_fontName;
    QList<QColor> m_colours;
    int m_red = 0;
    int m_green = 0;
    int m_blue = 0;
    bool m_colourSet = false;

    /// What currentFormat() is made of. Fonts and colours are only ever added to their tables,
    /// so their counts stand for their contents.
    struct FormatSource {
        int font;
        int halfPoints;
        int colour;
        bool bold;
        bool italic;
        bool underline;
        int defaultFont;
        qsizetype fonts;
        qsizetype colours;
        friend bool operator==(const FormatSource&, const FormatSource&) = default;
    };
    FormatSource m_markSource{};
    RtfCharFormat m_markFormat;
    bool m_markValid = false;

    bool m_begun = false;
    bool m_inParagraph = false;
    bool m_formatDirty = true;
    QString m_pending;
    RtfCharFormat m_pendingFormat;
};

RtfReader::RtfReader(RtfSink& sink) : m_sink(sink) {}

RtfReader::~RtfReader() = default;

bool RtfReader::read(QIODevice& in)
{
    Parser parser(m_sink);
    return parser.run(&in, {});
}

void RtfReader::read(QByteArrayView data)
{
    Parser parser(m_sink);
    parser.run(nullptr, data);
}

} // namespace quillon
