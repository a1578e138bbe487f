#include "xmlfile.h"

#include "codepage.h"
#include "regularfile.h"
#include "safefilewrite.h"
#include "xmlvararray.h"

#include <QByteArray>

#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace {

constexpr qsizetype kReadMax = XmlFile::LINE_SIZE - 2; // bytes taken by one read
constexpr int kMaxTableDepth = 16;                     // guards a table that refers to itself

template <typename T>
T Load(const unsigned char *p)
{
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

template <typename T>
void Save(unsigned char *p, T v)
{
    std::memcpy(p, &v, sizeof v);
}

bool IsIntegerSize(size_t size)
{
    return size == 1 || size == 2 || size == 4 || size == 8;
}

uint64_t LoadUnsigned(const unsigned char *field, size_t size)
{
    switch (size) {
    case 1: return Load<uint8_t>(field);
    case 2: return Load<uint16_t>(field);
    case 4: return Load<uint32_t>(field);
    default: return Load<uint64_t>(field);
    }
}

// Stores v in a field of size 1, 2 or 4: its low bytes.
void StoreUnsigned(unsigned char *field, size_t size, uint32_t v)
{
    switch (size) {
    case 1: Save(field, uint8_t(v)); break;
    case 2: Save(field, uint16_t(v)); break;
    case 4: Save(field, v); break;
    default: break;
    }
}

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

const char *SkipSpace(const char *s)
{
    while (IsSpace(*s))
        ++s;
    return s;
}

// Leading decimal number with optional sign, wrapping like the platform's
// conversions do. Returns false when no digit is found. The arithmetic is
// unsigned, so wrapping (and negating the most negative value) is defined.
template <typename T>
bool ParseDecimal(const char *s, T &out, const char **end = nullptr)
{
    using U = std::make_unsigned_t<T>;
    s = SkipSpace(s);
    bool negative = false;
    if (*s == '+' || *s == '-')
        negative = *s++ == '-';
    U value = 0;
    const char *digits = s;
    while (*s >= '0' && *s <= '9')
        value = U(value * 10u + U(*s++ - '0'));
    if (s == digits)
        return false;
    out = T(negative ? U(U(0) - value) : value);
    if (end)
        *end = s;
    return true;
}

// "%08X" on reading: at most eight characters of hex, an optional 0x among them.
uint32_t ParseHex(const char *s)
{
    s = SkipSpace(s);
    int width = 8;
    if (s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        s += 2;
        width -= 2;
    }
    uint32_t value = 0;
    for (; width > 0; --width, ++s) {
        int d;
        if (*s >= '0' && *s <= '9')
            d = *s - '0';
        else if (*s >= 'a' && *s <= 'f')
            d = *s - 'a' + 10;
        else if (*s >= 'A' && *s <= 'F')
            d = *s - 'A' + 10;
        else
            break;
        value = value * 16u + uint32_t(d);
    }
    return value;
}

bool ParseReal(const char *s, double &out)
{
    s = SkipSpace(s);
    if (*s == '+')
        ++s;
    const char *end = s + std::strlen(s);
    double v = 0;
    const auto r = std::from_chars(s, end, v);
    if (r.ec != std::errc() || r.ptr == s)
        return false;
    out = v;
    return true;
}

// "%u-%u-%u[ %u:%u:%u.%u]": parts must follow in order; returns how many parsed.
int ParseDateParts(const char *s, uint32_t *parts, int wanted)
{
    static const char separators[] = {'-', '-', ' ', ':', ':', '.'};
    for (int i = 0; i < wanted; ++i) {
        if (i > 0) {
            if (separators[i - 1] == ' ') {
                // A space in a scanf format skips any run of white space.
                const char *t = SkipSpace(s);
                if (t == s)
                    return i;
                s = t;
            } else if (*s++ != separators[i - 1]) {
                return i;
            }
        }
        if (!ParseDecimal(s, parts[i], &s))
            return i;
    }
    return wanted;
}

QByteArray FormatUnsigned(unsigned long long v)
{
    char buf[24];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    return QByteArray(buf, r.ptr - buf);
}

QByteArray FormatPadded(unsigned v, int width)
{
    QByteArray s = FormatUnsigned(v);
    if (s.size() < width)
        s.prepend(QByteArray(width - s.size(), '0'));
    return s;
}

QByteArray FormatReal(double v, int decimals)
{
    // to_chars is locale-independent, unlike printf after the locale was set.
    char buf[400];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
    if (r.ec != std::errc())
        return QByteArray();
    return QByteArray(buf, r.ptr - buf);
}

QByteArray FormatHex(uint32_t v)
{
    return QByteArray::number(v, 16).toUpper().rightJustified(8, '0');
}

template <typename Unit>
const char *EscapeOf(Unit c)
{
    switch (c) {
    case '&': return "&amp;";
    case '<': return "&lt;";
    case '>': return "&gt;";
    case '"': return "&quot;";
    case '\'': return "&apos;";
    default: return nullptr;
    }
}

QByteArray Escape(const char *text, qsizetype len)
{
    QByteArray out;
    out.reserve(len);
    for (qsizetype i = 0; i < len; ++i) {
        if (const char *e = EscapeOf(text[i]))
            out += e;
        else
            out += text[i];
    }
    return out;
}

QString EscapeWide(const char16_t *text, qsizetype len)
{
    QString out;
    out.reserve(len);
    for (qsizetype i = 0; i < len; ++i) {
        if (const char *e = EscapeOf(text[i]))
            out += QLatin1StringView(e);
        else
            out += QChar(text[i]);
    }
    return out;
}

// One pass from the left, in place, stopping at the end or at a '<'.
template <typename Unit>
qsizetype Unescape(Unit *text, qsizetype len)
{
    static const struct { const char *entity; char ch; } entities[] = {
        {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''},
    };
    qsizetype in = 0, out = 0;
    while (in < len && text[in] != Unit('<')) {
        bool replaced = false;
        if (text[in] == Unit('&')) {
            for (const auto &e : entities) {
                const qsizetype n = qsizetype(std::strlen(e.entity));
                if (in + n > len)
                    continue;
                qsizetype k = 0;
                while (k < n && text[in + k] == Unit(e.entity[k]))
                    ++k;
                if (k == n) {
                    text[out++] = Unit(e.ch);
                    in += n;
                    replaced = true;
                    break;
                }
            }
        }
        if (!replaced)
            text[out++] = text[in++];
    }
    return out;
}

void ResetCounters(XmlField *table, int depth = 0)
{
    if (!table || depth > kMaxTableDepth)
        return;
    for (XmlField *f = table; f->type != XML_END; ++f) {
        f->counter = 0;
        if (f->type == XML_RECORD_ARRAY || f->type == XML_VAR_ARRAY)
            ResetCounters(f->table, depth + 1);
    }
}

bool HasName(const char *name)
{
    return name && *name;
}

} // namespace

XmlFile::XmlFile()
{
    m_line[0] = '\0';
}

XmlFile::~XmlFile()
{
    Close();
}

int XmlFile::OpenRead(const char *path)
{
    Close();
    if (!path || !*path)
        return 1;
    std::optional<QByteArray> data = ReadRegularFile(AnsiToQString(path));
    if (!data)
        return 1;
    return OpenBytes(std::move(*data));
}

int XmlFile::OpenBytes(QByteArray data)
{
    Close();
    auto buffer = std::make_unique<QBuffer>();
    buffer->setData(std::move(data));
    buffer->open(QIODevice::ReadOnly);
    m_in = std::move(buffer);
    return 0;
}

int XmlFile::Create(const char *path, int encoding)
{
    Close();
    if (!path || !*path)
        return ENOENT;
    const QString target = AnsiToQString(path);
    // Nothing is written before Close(); what can be known now is told now.
    if (const int rc = CheckSaveTarget(target))
        return rc;
    m_outPath = target;
    m_outData.clear();
    m_writing = true;
    m_encoding = encoding == 0 ? 0 : 1;
    static const char declaration0[] = "<?xml version=\"1.0\" encoding=\"windows-1250\"?>\r\n";
    static const char declaration1[] = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n";
    WritePiece(m_encoding == 0 ? declaration0 : declaration1);
    return 0;
}

int XmlFile::Close()
{
    int result = 0;
    if (m_in) {
        m_in->close();
        m_in.reset();
    }
    if (m_writing) {
        result = WriteFileSafely(m_outPath, m_outData);
        m_writing = false;
        m_outPath.clear();
        m_outData.clear();
    }
    return result;
}

int XmlFile::SaveDocument(const char *path, const XmlRoot *roots)
{
    XmlFile file;
    if (const int rc = file.Create(path, 1))
        return rc;
    const int written = file.WriteDocument(roots);
    const int closed = file.Close();
    return closed ? closed : written;
}

void XmlFile::WritePiece(const char *data, qsizetype len)
{
    if (!m_writing || len <= 0)
        return;
    if (m_encoding == 1) {
        len = AnsiToUtf8(QByteArrayView(data, len), m_narrow, LINE_SIZE);
        data = m_narrow;
    }
    m_outData.append(data, len);
}

void XmlFile::WriteWidePiece(const char16_t *text, qsizetype len)
{
    if (!m_writing || len <= 0)
        return;
    const QStringView view(text, len);
    // In windows-1250 mode a wide text goes out in that code page, '?' for what it lacks.
    const qsizetype n = m_encoding == 1 ? Utf16ToUtf8(view, m_narrow, LINE_SIZE)
                                        : Utf16ToAnsi(view, m_narrow, LINE_SIZE);
    m_outData.append(m_narrow, n);
}

void XmlFile::WriteIndent()
{
    if (m_depth > 0)
        WritePiece(QByteArray(m_depth, '\t'));
}

int XmlFile::WriteDocument(const XmlRoot *roots)
{
    for (const XmlRoot *r = roots; r && HasName(r->name); ++r)
        WriteRecord(r->name, r->table, static_cast<const unsigned char *>(r->record));
    return m_writing ? 0 : 1;
}

void XmlFile::WriteRecord(const char *name, const XmlField *table, const unsigned char *record)
{
    WriteIndent();
    WritePiece(QByteArray("<") + name + ">\r\n");
    ++m_depth;
    if (m_depth <= kMaxTableDepth + 1) {
        for (const XmlField *f = table; f && f->type != XML_END; ++f)
            WriteField(*f, record);
    }
    if (m_depth > 0)
        --m_depth;
    WriteIndent();
    WritePiece(QByteArray("</") + name + ">\r\n");
}

void XmlFile::WriteField(const XmlField &f, const unsigned char *record)
{
    const unsigned char *field = record + f.offset;
    switch (f.type) {
    case XML_RECORD_ARRAY:
        for (size_t i = 0; i < f.count; ++i)
            WriteRecord(f.name, f.table, field + i * f.size);
        break;
    case XML_TEXT_ARRAY:
    case XML_WTEXT_ARRAY:
    case XML_HEX_ARRAY: {
        const int single = f.type == XML_TEXT_ARRAY ? XML_TEXT : f.type == XML_WTEXT_ARRAY ? XML_WTEXT : XML_HEX;
        for (size_t i = 0; i < f.count; ++i)
            WriteValue(f.name, single, f.size, field + i * f.size);
        break;
    }
    case XML_VAR_ARRAY: {
        const auto *array = reinterpret_cast<const XmlVarArray *>(field);
        for (size_t i = 0; i < array->Count(); ++i)
            WriteRecord(f.name, f.table, array->Element(i));
        break;
    }
    default:
        WriteValue(f.name, f.type, f.size, field);
        break;
    }
}

void XmlFile::WriteValue(const char *name, int type, size_t size, const unsigned char *field)
{
    WriteIndent();
    WritePiece(QByteArray("<") + name + ">");
    QByteArray value;
    switch (type) {
    case XML_TEXT: {
        const auto *text = reinterpret_cast<const char *>(field);
        value = Escape(text, qsizetype(strnlen(text, size)));
        break;
    }
    case XML_WTEXT: {
        const size_t units = size / 2;
        std::u16string text(units, u'\0');
        std::memcpy(text.data(), field, units * 2);
        text.resize(std::char_traits<char16_t>::length(text.c_str()));
        const QString escaped = EscapeWide(text.data(), qsizetype(text.size()));
        WriteWidePiece(reinterpret_cast<const char16_t *>(escaped.utf16()), escaped.size());
        break;
    }
    case XML_INT:
        if (IsIntegerSize(size))
            value = FormatUnsigned(LoadUnsigned(field, size));
        break;
    case XML_HEX:
        if (IsIntegerSize(size) && size != 8)
            value = FormatHex(uint32_t(LoadUnsigned(field, size)));
        break;
    case XML_REAL2: value = FormatReal(Load<double>(field), 2); break;
    case XML_REAL4: value = FormatReal(Load<double>(field), 4); break;
    case XML_REAL8: value = FormatReal(Load<double>(field), 8); break;
    case XML_DATE_COMPACT: {
        const auto d = Load<XmlDateCompact>(field);
        value = FormatPadded(d.year, 4) + '-' + FormatPadded(d.month, 2) + '-' + FormatPadded(d.day, 2);
        break;
    }
    case XML_DATE: {
        const auto d = Load<XmlDate>(field);
        value = FormatPadded(d.year, 4) + '-' + FormatPadded(d.month, 2) + '-' + FormatPadded(d.day, 2);
        break;
    }
    case XML_DATETIME: {
        const auto d = Load<XmlDateTime>(field);
        value = FormatPadded(d.year, 4) + '-' + FormatPadded(d.month, 2) + '-' + FormatPadded(d.day, 2) + ' '
              + FormatPadded(d.hour, 2) + ':' + FormatPadded(d.minute, 2) + ':' + FormatPadded(d.second, 2) + '.'
              + FormatPadded(d.fraction, 2);
        break;
    }
    case XML_VAR_COUNT:
        value = FormatUnsigned(reinterpret_cast<const XmlVarArray *>(field)->Count());
        break;
    default:
        break;
    }
    WritePiece(value);
    WritePiece(QByteArray("</") + name + ">\r\n");
}

int XmlFile::ReadLine()
{
    if (!m_in)
        return 0;
    const qint64 n = m_in->readLine(m_line, kReadMax + 1);
    if (n <= 0)
        return 0;
    // The line is a C string from here on: a NUL byte ends it.
    m_lineLen = qsizetype(strnlen(m_line, size_t(n)));
    m_line[m_lineLen] = '\0';
    return 1;
}

namespace {

// The tag after the '<' at lt, up to the next '>' (or the end), at most 99 bytes.
// Returns where the value text starts: after that '>', or the end of the line.
const char *TakeTag(const char *lt, const char *end, char (&tag)[XmlFile::TAG_MAX + 1])
{
    const char *start = lt + 1;
    const char *gt = static_cast<const char *>(std::memchr(start, '>', size_t(end - start)));
    const char *tagEnd = gt ? gt : end;
    const size_t n = std::min<size_t>(size_t(tagEnd - start), XmlFile::TAG_MAX);
    std::memcpy(tag, start, n);
    tag[n] = '\0';
    return gt ? gt + 1 : end;
}

} // namespace

void XmlFile::ReadDocument(const XmlRoot *roots)
{
    while (ReadLine()) {
        if (m_lineLen == 0)
            continue;
        if (m_line[m_lineLen - 1] == '\n')
            m_line[--m_lineLen] = '\0';
        if (m_line[0] != '<')
            continue;
        char tag[TAG_MAX + 1];
        TakeTag(m_line, m_line + m_lineLen, tag);
        for (const XmlRoot *r = roots; r && HasName(r->name); ++r) {
            if (std::strcmp(tag, r->name) == 0) {
                ReadElement(r->name, r->table, static_cast<unsigned char *>(r->record));
                break;
            }
        }
    }
}

void XmlFile::ReadElement(const char *name, XmlField *table, unsigned char *record)
{
    ResetCounters(table);
    while (ReadLine()) {
        const char *end = m_line + m_lineLen;
        const char *lt = static_cast<const char *>(std::memchr(m_line, '<', size_t(m_lineLen)));
        if (!lt)
            continue;
        char tag[TAG_MAX + 1];
        const char *value = TakeTag(lt, end, tag);
        if (std::strncmp(tag, "?xml", 4) == 0)
            continue;
        if (tag[0] == '/' && std::strcmp(tag + 1, name) == 0)
            return;
        for (XmlField *f = table; f && HasName(f->name) && f->type != XML_END; ++f) {
            if (std::strcmp(tag, f->name) == 0) {
                StoreValue(*f, value, record);
                break;
            }
        }
    }
}

void XmlFile::StoreValue(XmlField &f, const char *value, unsigned char *record)
{
    unsigned char *field = record + f.offset;
    switch (f.type) {
    case XML_RECORD_ARRAY:
        if (size_t(f.counter) < f.count) {
            const size_t i = size_t(f.counter++);
            ReadElement(f.name, f.table, field + i * f.size);
        }
        break;
    case XML_TEXT_ARRAY:
    case XML_WTEXT_ARRAY:
    case XML_HEX_ARRAY:
        if (size_t(f.counter) < f.count) {
            const int single = f.type == XML_TEXT_ARRAY ? XML_TEXT : f.type == XML_WTEXT_ARRAY ? XML_WTEXT : XML_HEX;
            const size_t i = size_t(f.counter++);
            StoreSingle(single, f.size, value, field + i * f.size);
        }
        break;
    case XML_VAR_ARRAY: {
        auto *array = reinterpret_cast<XmlVarArray *>(field);
        // Elements are filled only where the table's record fits the element.
        if (size_t(f.counter) < array->Count() && array->ElementSize() >= f.size) {
            const size_t i = size_t(f.counter++);
            ReadElement(f.name, f.table, array->Element(i));
        }
        break;
    }
    case XML_VAR_COUNT: {
        int32_t n = 0;
        ParseDecimal(value, n);
        reinterpret_cast<XmlVarArray *>(field)->Reset(n > 0 ? size_t(n) : 0, f.size);
        break;
    }
    default:
        StoreSingle(f.type, f.size, value, field);
        break;
    }
}

void XmlFile::StoreSingle(int type, size_t size, const char *value, unsigned char *field)
{
    switch (type) {
    case XML_TEXT:
    case XML_WTEXT:
        StoreText(value, field, size, type == XML_WTEXT);
        break;
    case XML_INT: {
        if (size == 8) {
            uint64_t v = 0;
            ParseDecimal(value, v);
            Save(field, v);
        } else if (IsIntegerSize(size)) {
            uint32_t v = 0;
            ParseDecimal(value, v);
            StoreUnsigned(field, size, v);
        }
        break;
    }
    case XML_HEX:
        if (IsIntegerSize(size) && size != 8)
            StoreUnsigned(field, size, ParseHex(value));
        break;
    case XML_REAL2:
    case XML_REAL4:
    case XML_REAL8: {
        double v;
        if (ParseReal(value, v))
            Save(field, v);
        break;
    }
    case XML_DATE_COMPACT:
    case XML_DATE:
    case XML_DATETIME: {
        // A date that does not parse in full is stored as all zeros: half a date is no date.
        uint32_t p[7] = {};
        const int wanted = type == XML_DATETIME ? 7 : 3;
        if (ParseDateParts(value, p, wanted) != wanted)
            std::fill(std::begin(p), std::end(p), 0u);
        if (type == XML_DATE_COMPACT)
            Save(field, XmlDateCompact{uint8_t(p[2]), uint8_t(p[1]), uint16_t(p[0])});
        else if (type == XML_DATE)
            Save(field, XmlDate{uint16_t(p[0]), uint16_t(p[1]), uint16_t(p[2])});
        else
            Save(field, XmlDateTime{uint16_t(p[0]), uint16_t(p[1]), uint16_t(p[2]), uint16_t(p[3]),
                                    uint16_t(p[4]), uint16_t(p[5]), p[6]});
        break;
    }
    default:
        break;
    }
}

qsizetype XmlFile::CollectText(const char *value, char *out, qsizetype cap)
{
    qsizetype n = 0;
    auto append = [&](const char *s, qsizetype len) {
        const qsizetype take = std::min(len, cap - 1 - n);
        if (take > 0) {
            std::memcpy(out + n, s, size_t(take));
            n += take;
        }
    };
    const char *end = value + std::strlen(value);
    if (const char *lt = static_cast<const char *>(std::memchr(value, '<', size_t(end - value)))) {
        append(value, lt - value);
    } else if (value != end) {
        // No closing tag on this line: the text goes on, line ends included.
        append(value, end - value);
        while (ReadLine()) {
            const char *lt2 = static_cast<const char *>(std::memchr(m_line, '<', size_t(m_lineLen)));
            append(m_line, lt2 ? lt2 - m_line : m_lineLen);
            if (lt2)
                break;
        }
    }
    out[n] = '\0';
    return n;
}

void XmlFile::StoreText(const char *value, unsigned char *field, size_t size, bool wide)
{
    const qsizetype collected = CollectText(value, m_narrow, LINE_SIZE);
    const qsizetype units = Utf8ToUtf16(QByteArrayView(m_narrow, collected), m_wide, LINE_SIZE);
    if (wide) {
        const qsizetype n = Unescape(m_wide, units);
        const size_t cap = size / 2;
        if (cap == 0)
            return;
        size_t keep = std::min<size_t>(size_t(n), cap - 1);
        if (keep > 0 && keep < size_t(n) && QChar::isHighSurrogate(m_wide[keep - 1]))
            --keep;
        std::memcpy(field, m_wide, keep * 2);
        Save(field + keep * 2, char16_t(0));
        return;
    }
    const qsizetype bytes = Utf16ToAnsi(QStringView(m_wide, units), m_narrow, LINE_SIZE);
    const qsizetype n = Unescape(m_narrow, bytes);
    if (size == 0)
        return;
    const size_t keep = std::min<size_t>(size_t(n), size - 1);
    std::memcpy(field, m_narrow, keep);
    field[keep] = '\0';
}
