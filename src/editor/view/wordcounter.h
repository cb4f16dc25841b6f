#pragma once

#include <QObject>
#include <QPointer>
#include <QStringView>

#include <functional>
#include <vector>

class QTextBlock;
class QTextDocument;

// Counts words the way Unicode word boundaries define them (ICU's word break rules, dictionary segmentation
// for Chinese and Japanese): segments that hold letters, numbers, kana or ideographs.
// Attached to a text document, it keeps a count per paragraph and recounts only the paragraphs an edit touched.
class WordCounter : public QObject
{
    Q_OBJECT

public:
    static int count(QStringView text);

    // The raw text of the change being made now, where the one making it knows it (a note coming in), so that its
    // paragraphs are counted from it instead of being read back from the document one by one.
    using IncomingText = std::function<QStringView()>;

    explicit WordCounter(QTextDocument *document, QObject *parent = nullptr, IncomingText incoming = {});
    ~WordCounter() override;

    int total() const;
    void recountAll();

Q_SIGNALS:
    void totalChanged(int total);

private:
    // A stretch of a long paragraph that ends just before a space, so the words of a paragraph are the sum of
    // the words of its pieces, and an edit recounts only the pieces it touched.
    struct Piece
    {
        int length = 0;
        int words = 0;
    };
    // Plain values, so that adding or removing a line in a big note moves them as one block of memory.
    struct Paragraph
    {
        int words = 0;
        int pieces = -1; // index into m_pieceLists, only for long paragraphs typed in
    };

    void contentsChanged(int from, int charsRemoved, int charsAdded);
    bool editLongParagraph(Paragraph &paragraph, const QTextBlock &block, int offset, int charsRemoved, int charsAdded);
    static int cutIntoPieces(QStringView text, std::vector<Piece> &pieces);
    bool countIncoming(std::vector<Paragraph> &fresh, int from, int charsAdded, const QTextBlock &last) const;
    void releasePieces(Paragraph &paragraph);
    void setTotal(qint64 total);

    QPointer<QTextDocument> m_document;
    IncomingText m_incoming;
    std::vector<Paragraph> m_paragraphs; // one per block of the document, in order
    std::vector<std::vector<Piece>> m_pieceLists;
    std::vector<int> m_unusedPieceLists;
    qint64 m_total = 0;
};
