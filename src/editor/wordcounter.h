#pragma once

#include <QObject>
#include <QPointer>
#include <QStringView>

#include <vector>

class QTextDocument;

// Counts words the way Unicode word boundaries define them (ICU's word break rules, dictionary segmentation
// for Chinese and Japanese): segments that hold letters, numbers, kana or ideographs.
// Attached to a text document, it keeps a count per paragraph and recounts only the paragraphs an edit touched.
class WordCounter : public QObject
{
    Q_OBJECT

public:
    static int count(QStringView text);

    explicit WordCounter(QTextDocument *document, QObject *parent = nullptr);
    ~WordCounter() override;

    int total() const;
    void recountAll();

Q_SIGNALS:
    void totalChanged(int total);

private:
    void contentsChanged(int from, int charsRemoved, int charsAdded);
    void setTotal(qint64 total);

    QPointer<QTextDocument> m_document;
    std::vector<int> m_counts; // one per block of the document, in order
    qint64 m_total = 0;
};
