#include "rtfreader.h"

#include "codepage.h"

#include <QColor>
#include <QList>
#include <QStringDecoder>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <optional>
#include <vector>

namespace {

// Groups nested deeper than this still count, but keep their parent's state:
// a hostile file cannot make the reader's stack grow without bound.
constexpr size_t kMaxDepth = 512;
constexpr int kMaxWordLength = 32;

enum class Destination { Text, Skip, ColorTable };

struct GroupState {
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strike = false;
    int halfPoints = 0; // 0: the widget's font size
    int color = 0;      // colour table index; 0 = automatic
    int uc = 1;         // fallback characters that follow a \u
    Destination dest = Destination::Text;

    void Plain()
    {
        bold = italic = underline = strike = false;
        halfPoints = 0;
        color = 0;
    }
};

bool IsDestinationToSkip(QByteArrayView word)
{
    static const char *const kSkipped[] = {
        "fonttbl", "stylesheet", "info", "pict", "object", "header", "headerl", "headerr", "headerf",
        "footer", "footerl", "footerr", "footerf", "footnote", "listtable", "listoverridetable", "filetbl",
        "revtbl", "rsidtbl", "generator", "xmlnstbl", "themedata", "colorschememapping", "latentstyles",
        "datastore", "nonshppict", "bkmkstart", "bkmkend",
    };
    for (const char *name : kSkipped)
        if (word == QByteArrayView(name))
            return true;
    return false;
}

std::optional<char16_t> SymbolWord(QByteArrayView word)
{
    static const struct {
        const char *word;
        char16_t ch;
    } kSymbols[] = {
        {"emdash", u'\u2014'}, {"endash", u'\u2013'}, {"bullet", u'\u2022'}, {"lquote", u'\u2018'},
        {"rquote", u'\u2019'}, {"ldblquote", u'\u201C'}, {"rdblquote", u'\u201D'}, {"emspace", u'\u2003'},
        {"enspace", u'\u2002'}, {"qmspace", u'\u2005'},
    };
    for (const auto &s : kSymbols)
        if (word == QByteArrayView(s.word))
            return s.ch;
    return std::nullopt;
}

bool IsLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

std::optional<Qt::Alignment> AlignmentWord(QByteArrayView word)
{
    if (word == "pard" || word == "ql")
        return Qt::AlignLeft;
    if (word == "qc")
        return Qt::AlignHCenter;
    if (word == "qr")
        return Qt::AlignRight;
    if (word == "qj")
        return Qt::AlignJustify;
    return std::nullopt;
}

class Reader {
public:
    Reader(QByteArrayView rtf, QTextDocument *document) : m_in(rtf), m_cursor(document) {}

    void Run();

private:
    GroupState &State() { return m_stack.back(); }
    void Push();
    void Pop();
    void Escape();
    void ReadControlWord();
    std::optional<int> ReadParameter();
    void ControlSymbol(char symbol);
    void HexByte();
    void ControlWord(QByteArrayView word, std::optional<int> param);
    bool ReaderWord(QByteArrayView word, std::optional<int> param);
    void ColorComponent(QByteArrayView word, std::optional<int> param);
    bool DestinationWord(QByteArrayView word);
    void FormattingWord(QByteArrayView word, std::optional<int> param);
    bool CharacterWord(QByteArrayView word, std::optional<int> param);
    void Byte(char byte);
    void Unicode(char16_t ch);
    void FlushBytes();
    void Flush();
    QTextCharFormat Format() const;
    void SetCodePage(int codePage);
    // A character of a \u fallback is dropped instead of shown.
    bool SkipFallback();

    QByteArrayView m_in;
    qsizetype m_pos = 0;
    QTextCursor m_cursor;
    std::vector<GroupState> m_stack{GroupState{}};
    size_t m_overflow = 0; // groups opened beyond kMaxDepth
    int m_skipFallback = 0;
    int m_codePage = 1252;
    std::optional<QStringDecoder> m_decoder;
    bool m_systemDecoder = false; // the system's converter for m_codePage, where Qt has none
    QByteArray m_bytes; // text bytes not yet decoded
    QString m_run;      // decoded text not yet inserted, all in one format
    QList<QColor> m_colors;
    int m_red = 0, m_green = 0, m_blue = 0;
    bool m_colorSet = false;
    bool m_ended = false;
};

void Reader::Run()
{
    SetCodePage(1252); // the RTF default for \ansi
    while (m_pos < m_in.size() && !m_ended) {
        const char c = m_in[m_pos++];
        switch (c) {
        case '{':
            Push();
            break;
        case '}':
            Pop();
            break;
        case '\r':
        case '\n':
            break;
        case '\\':
            Escape();
            break;
        default:
            if (!SkipFallback())
                Byte(c);
            break;
        }
    }
    Flush();
}

// After a backslash: a control word (letters) or a control symbol.
void Reader::Escape()
{
    if (m_pos >= m_in.size())
        return;
    const char next = m_in[m_pos];
    if (IsLetter(next)) {
        ReadControlWord();
        return;
    }
    ++m_pos;
    ControlSymbol(next);
}

void Reader::ReadControlWord()
{
    const qsizetype start = m_pos;
    while (m_pos < m_in.size() && m_pos - start < kMaxWordLength && IsLetter(m_in[m_pos]))
        ++m_pos;
    const QByteArrayView word = m_in.sliced(start, m_pos - start);
    const std::optional<int> param = ReadParameter();
    if (m_pos < m_in.size() && m_in[m_pos] == ' ')
        ++m_pos; // the delimiting blank belongs to the word
    ControlWord(word, param);
}

// A control word's optional signed number, held to the int range.
std::optional<int> Reader::ReadParameter()
{
    bool negative = false;
    if (m_pos + 1 < m_in.size() && m_in[m_pos] == '-' && IsDigit(m_in[m_pos + 1])) {
        negative = true;
        ++m_pos;
    }
    if (m_pos >= m_in.size() || !IsDigit(m_in[m_pos]))
        return std::nullopt;
    long long value = 0;
    int digits = 0;
    while (m_pos < m_in.size() && IsDigit(m_in[m_pos])) {
        if (digits++ < 10)
            value = value * 10 + (m_in[m_pos] - '0');
        ++m_pos;
    }
    value = std::min(value, 0x7FFFFFFFLL);
    return int(negative ? -value : value);
}

void Reader::ControlSymbol(char symbol)
{
    switch (symbol) {
    case '\'':
        HexByte();
        break;
    case '\\':
    case '{':
    case '}':
        if (!SkipFallback())
            Byte(symbol);
        break;
    case '~':
        if (!SkipFallback())
            Unicode(u'\u00A0');
        break;
    case '_':
        if (!SkipFallback())
            Unicode(u'\u2011');
        break;
    case '*':
        State().dest = Destination::Skip;
        break;
    case '\r':
    case '\n':
        ControlWord("par", std::nullopt);
        break;
    default:
        SkipFallback(); // an optional hyphen (\-) and unknown symbols show nothing
        break;
    }
}

// \'hh: one byte in the document's code page.
void Reader::HexByte()
{
    if (m_pos + 2 > m_in.size()) {
        m_pos = m_in.size();
        return;
    }
    bool ok = false;
    const int value = QByteArray(m_in.sliced(m_pos, 2).data(), 2).toInt(&ok, 16);
    m_pos += 2;
    if (ok && !SkipFallback())
        Byte(char(value));
}

void Reader::Push()
{
    m_skipFallback = 0;
    if (m_stack.size() >= kMaxDepth) {
        ++m_overflow;
        return;
    }
    Flush();
    m_stack.push_back(m_stack.back());
}

void Reader::Pop()
{
    m_skipFallback = 0;
    if (m_overflow > 0) {
        --m_overflow;
        return;
    }
    Flush();
    if (m_stack.size() <= 1) {
        m_ended = true; // the document's own group is closed
        return;
    }
    m_stack.pop_back();
    if (m_stack.size() == 1)
        m_ended = true;
}

bool Reader::SkipFallback()
{
    if (m_skipFallback <= 0)
        return false;
    --m_skipFallback;
    return true;
}

void Reader::SetCodePage(int codePage)
{
    FlushBytes();
    m_codePage = codePage;
    m_decoder.reset();
    m_systemDecoder = false;
    if (codePage == 1250)
        return; // the program's own code page, through its tables
    const QByteArray name = codePage == 65001 ? QByteArray("UTF-8")
                                              : (codePage >= 1250 && codePage <= 1258) || codePage == 874
                                                    ? "windows-" + QByteArray::number(codePage)
                                                    : "CP" + QByteArray::number(codePage);
    QStringDecoder decoder(name.constData());
    if (decoder.isValid())
        m_decoder.emplace(std::move(decoder));
    else if (DecodeCodePage(codePage, "A"))
        m_systemDecoder = true;
    else
        m_decoder.emplace(QStringDecoder::Latin1);
}

void Reader::ControlWord(QByteArrayView word, std::optional<int> param)
{
    if (ReaderWord(word, param))
        return;
    const GroupState &s = State();
    if (s.dest == Destination::Skip)
        return;
    if (s.dest == Destination::ColorTable) {
        ColorComponent(word, param);
        return;
    }
    if (word == "u") {
        if (param) {
            const int value = *param < 0 ? *param + 65536 : *param;
            Unicode(char16_t(value & 0xFFFF));
        }
        m_skipFallback = s.uc;
        return;
    }
    if (SkipFallback() || DestinationWord(word))
        return;
    if (const auto symbol = SymbolWord(word)) {
        Unicode(*symbol);
        return;
    }
    FormattingWord(word, param);
}

// The words that change the reader's own state; they apply in every destination.
bool Reader::ReaderWord(QByteArrayView word, std::optional<int> param)
{
    if (word == "ansicpg") {
        if (param && *param > 0)
            SetCodePage(*param);
        return true;
    }
    if (word == "uc") {
        State().uc = param ? std::max(0, *param) : 1;
        return true;
    }
    if (word == "bin") {
        // Binary data: its bytes are not text and may hold braces.
        const qsizetype n = param ? std::max(0, *param) : 0;
        m_pos = std::min(m_in.size(), m_pos + n);
        return true;
    }
    return false;
}

void Reader::ColorComponent(QByteArrayView word, std::optional<int> param)
{
    int *component = word == "red" ? &m_red : word == "green" ? &m_green : word == "blue" ? &m_blue : nullptr;
    if (component) {
        *component = std::clamp(param.value_or(0), 0, 255);
        m_colorSet = true;
    }
}

// A word that opens the colour table or a destination whose text is skipped.
bool Reader::DestinationWord(QByteArrayView word)
{
    GroupState &s = State();
    if (word == "colortbl") {
        Flush();
        s.dest = Destination::ColorTable;
        m_colors.clear();
        m_red = m_green = m_blue = 0;
        m_colorSet = false;
        return true;
    }
    if (IsDestinationToSkip(word)) {
        Flush();
        s.dest = Destination::Skip;
        return true;
    }
    return false;
}

void Reader::FormattingWord(QByteArrayView word, std::optional<int> param)
{
    if (word == "par") {
        Flush();
        m_cursor.insertBlock();
    } else if (word == "line") {
        Unicode(QChar::LineSeparator);
    } else if (word == "tab") {
        Unicode(u'\t');
    } else if (const auto alignment = AlignmentWord(word)) {
        Flush();
        QTextBlockFormat block = m_cursor.blockFormat();
        block.setAlignment(*alignment);
        m_cursor.setBlockFormat(block);
    } else {
        CharacterWord(word, param);
    }
}

// Character formatting; text before the change keeps the format it had.
bool Reader::CharacterWord(QByteArrayView word, std::optional<int> param)
{
    static const struct {
        const char *word;
        bool GroupState::*flag;
    } kToggles[] = {
        {"b", &GroupState::bold}, {"i", &GroupState::italic}, {"ul", &GroupState::underline}, {"strike", &GroupState::strike},
    };
    GroupState &s = State();
    for (const auto &toggle : kToggles) {
        if (word == QByteArrayView(toggle.word)) {
            Flush();
            s.*toggle.flag = !param || *param != 0;
            return true;
        }
    }
    if (word == "ulnone") {
        Flush();
        s.underline = false;
    } else if (word == "fs") {
        Flush();
        s.halfPoints = param ? std::clamp(*param, 0, 3000) : 24;
    } else if (word == "cf") {
        Flush();
        s.color = param ? std::max(0, *param) : 0;
    } else if (word == "plain") {
        Flush();
        s.Plain();
    } else {
        return false;
    }
    return true;
}

void Reader::Byte(char byte)
{
    GroupState &s = State();
    if (s.dest == Destination::ColorTable) {
        if (byte == ';') {
            m_colors << (m_colorSet ? QColor(m_red, m_green, m_blue) : QColor());
            m_red = m_green = m_blue = 0;
            m_colorSet = false;
        }
        return;
    }
    if (s.dest != Destination::Text)
        return;
    m_bytes += byte;
}

void Reader::Unicode(char16_t ch)
{
    if (State().dest != Destination::Text)
        return;
    FlushBytes();
    m_run += QChar(ch);
}

void Reader::FlushBytes()
{
    if (m_bytes.isEmpty())
        return;
    if (m_decoder)
        m_run += m_decoder->decode(m_bytes);
    else if (m_systemDecoder)
        m_run += DecodeCodePage(m_codePage, m_bytes).value_or(QString::fromLatin1(m_bytes));
    else
        m_run += AnsiToQString(m_bytes);
    m_bytes.clear();
}

QTextCharFormat Reader::Format() const
{
    const GroupState &s = m_stack.back();
    QTextCharFormat f;
    f.setFontWeight(s.bold ? QFont::Bold : QFont::Normal);
    f.setFontItalic(s.italic);
    f.setFontUnderline(s.underline);
    f.setFontStrikeOut(s.strike);
    if (s.halfPoints > 0)
        f.setFontPointSize(s.halfPoints / 2.0);
    if (s.color > 0 && s.color < m_colors.size() && m_colors[s.color].isValid())
        f.setForeground(m_colors[s.color]);
    return f;
}

void Reader::Flush()
{
    FlushBytes();
    if (m_run.isEmpty())
        return;
    m_cursor.insertText(m_run, Format());
    m_run.clear();
}

} // namespace

bool LoadRtf(QByteArrayView rtf, QTextDocument *document)
{
    document->clear();
    if (!rtf.startsWith("{\\rtf"))
        return false;
    Reader(rtf, document).Run();
    return true;
}
