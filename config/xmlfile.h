#pragma once

// A small table-driven XML writer and tolerant reader. It understands the XML
// it writes itself (one element per line, no attributes, no self-closing
// tags) and skips whatever else it meets. There is no document tree: writing
// walks the binding tables, reading walks the file line by line and stores
// each recognised element straight into its bound field.

#include <QBuffer>
#include <QByteArray>
#include <QString>

#include <cstddef>
#include <memory>

enum XmlType : int {
    XML_END = 0,
    XML_TEXT = 1,          // 8-bit text of capacity size
    XML_WTEXT = 2,         // UTF-16 text of capacity size / 2
    XML_INT = 3,           // unsigned integer of size 1, 2, 4 or 8
    XML_HEX = 4,           // unsigned integer of size 1, 2 or 4, "%08X"
    XML_REAL2 = 5,         // double, 2 decimals
    XML_REAL4 = 6,         // double, 4 decimals
    XML_REAL8 = 7,         // double, 8 decimals
    XML_DATE_COMPACT = 8,  // XmlDateCompact
    XML_DATE = 9,          // XmlDate
    XML_DATETIME = 10,     // XmlDateTime
    XML_RECORD_ARRAY = 11, // count records of size bytes, described by table
    XML_TEXT_ARRAY = 12,   // count texts of capacity size
    XML_WTEXT_ARRAY = 13,  // count wide texts of capacity size / 2
    XML_HEX_ARRAY = 14,    // count hex numbers of size bytes
    XML_VAR_ARRAY = 15,    // XmlVarArray whose elements are described by table
    XML_VAR_COUNT = 16,    // element count of an XmlVarArray
};

// One entry of a binding table; a table ends with an entry of type XML_END.
struct XmlField {
    const char *name;
    int type;
    size_t offset;
    size_t size;
    size_t count;
    XmlField *table;
    int counter; // the reader's running count of array elements already filled
};

// One entry of a top-level table; the table ends with an entry without a name.
struct XmlRoot {
    const char *name;
    XmlField *table;
    void *record;
};

struct XmlDateCompact {
    uint8_t day;
    uint8_t month;
    uint16_t year;
};

struct XmlDate {
    uint16_t year;
    uint16_t month;
    uint16_t day;
};

struct XmlDateTime {
    uint16_t year;
    uint16_t month;
    uint16_t day;
    uint16_t hour;
    uint16_t minute;
    uint16_t second;
    uint32_t fraction;
};

class XmlFile {
public:
    static constexpr int LINE_SIZE = 10000;
    static constexpr int TAG_MAX = 99;

    XmlFile();
    ~XmlFile();
    XmlFile(const XmlFile &) = delete;
    XmlFile &operator=(const XmlFile &) = delete;

    // 0 when the file was read, 1 when it cannot be (missing, not a regular
    // file, too large, unreadable): nothing is left open to block on.
    int OpenRead(const char *path);
    // Reads the document from bytes already in memory; always 0.
    int OpenBytes(QByteArray data);
    // 0 when a document for the file was begun with its declaration, else an
    // error code (the path names a folder, or its folder is missing).
    // encoding 0 = windows-1250, 1 = UTF-8.
    int Create(const char *path, int encoding);
    // 0 when the document was written out (1 when none was begun).
    int WriteDocument(const XmlRoot *roots);
    void ReadDocument(const XmlRoot *roots);
    // Closes the file. A document being written is collected in memory and
    // saved here as a whole, so the previous file is replaced only by a
    // complete one and stays as it was when any step fails. 0 when everything
    // was written, else an error code.
    int Close();

    // Create (UTF-8), WriteDocument and Close in one: 0 when the whole file was written.
    static int SaveDocument(const char *path, const XmlRoot *roots);

private:
    int ReadLine();
    void WritePiece(const char *data, qsizetype len);
    void WritePiece(const QByteArray &piece) { WritePiece(piece.constData(), piece.size()); }
    void WriteWidePiece(const char16_t *text, qsizetype len);
    void WriteIndent();
    void WriteRecord(const char *name, const XmlField *table, const unsigned char *record);
    void WriteField(const XmlField &field, const unsigned char *record);
    void WriteValue(const char *name, int type, size_t size, const unsigned char *field);

    void ReadElement(const char *name, XmlField *table, unsigned char *record);
    void StoreValue(XmlField &field, const char *value, unsigned char *record);
    void StoreSingle(int type, size_t size, const char *value, unsigned char *field);
    void StoreText(const char *value, unsigned char *field, size_t size, bool wide);
    qsizetype CollectText(const char *value, char *out, qsizetype cap);

    std::unique_ptr<QBuffer> m_in;
    QString m_outPath;
    QByteArray m_outData;
    bool m_writing = false;
    int m_encoding = 1;
    int m_depth = 0;
    qsizetype m_lineLen = 0;
    char m_line[LINE_SIZE];
    char m_narrow[LINE_SIZE];
    char16_t m_wide[LINE_SIZE];
};
