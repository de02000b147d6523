#pragma once

#include "LiveMonitor.h"

#include <QBrush>
#include <QColor>
#include <QFont>
#include <QGlyphRun>
#include <QRectF>
#include <QString>
#include <QTextEdit>
#include <QTimer>

#include <array>
#include <span>
#include <vector>

class QPainter;
class QTextBlock;
class QTextCursor;
class QTextLayout;

// The main view: a rich-text notebook that the live monitor draws its table into during a
// run. A tick rewrites only the characters that changed, and only on the lines in view;
// the colours are laid over those lines at drawing time. Lines come up to date as they
// scroll into view, before a copy, and when the run ends (finishLiveTable, or on its own
// after a quarter second without a table), when the colours become the text's own
// formats again. The user's scroll position and selection survive every tick.
class MonitorView final : public QTextEdit, public MonitorSink
{
    Q_OBJECT

public:
    // Quiet time after the last table after which the view is a plain notebook again.
    static constexpr int kQuietMs = 250;

    explicit MonitorView(QWidget *parent = nullptr);
    ~MonitorView() override;

    // Offsets in the ranges count CR LF as two characters, as in the text.
    void showTable(const QString &text, const std::vector<ColourRange> &ranges) override;

    // Brings every line up to date, turns the colours into character formats and
    // switches undo back on. Nothing to do when no table is live.
    void finishLiveTable();
    bool isLive() const { return m_live; }

    // With a budget, the lines in view come up to date in slices of about that many
    // milliseconds, one slice per turn of the window system, instead of all in the tick
    // that sent the table: a caller with deadlines of its own between turns (playback)
    // then never waits for a whole table. 0, the default, brings them up at once.
    void setSyncBudgetMs(double ms);
    bool syncPending() const { return m_pendingFirst <= m_pendingLast; }

protected:
    void scrollContentsBy(int dx, int dy) override;
    void paintEvent(QPaintEvent *event) override;
    QMimeData *createMimeDataFromSelection() const override;
    void insertFromMimeData(const QMimeData *source) override;
    void keyPressEvent(QKeyEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;

private:
    struct Piece
    {
        int column = 0;
        int length = 0;
        int colour = 0;
        bool background = false;
        friend bool operator==(const Piece &, const Piece &) = default;
    };
    // What one block of the document holds: its text, the colours laid over it and the
    // colours that are character formats of its text.
    struct Line
    {
        QString text;
        std::vector<Piece> overlay;
        std::vector<Piece> real;
    };
    struct Inks
    {
        QColor text;
        QBrush highlight;
        QColor highlightedText;
    };
    // The glyphs of a line with one glyph per character, when it is such a line.
    struct Glyphs
    {
        const QGlyphRun *run = nullptr;
        const quint32 *indexes = nullptr;
        const QPointF *positions = nullptr;
    };
    enum class Sync { Live, Materialize };

    void takeTable(const QString &text, const std::vector<ColourRange> &ranges);
    void replaceDocument();
    void matchBlockCount();
    bool visibleBlocks(int *first, int *last) const;
    void syncRange(int first, int last, Sync mode);
    void syncVisible();
    // Brings lines up to date at once, or in slices when a budget is set.
    void syncLines(int first, int last);
    void syncSlice();
    void syncLine(QTextCursor &cursor, const QTextBlock &block, size_t i, Sync mode);
    void clearOverlays();
    QRectF blockRect(const QTextBlock &block) const;
    void paintLive(const QRect &area);
    void paintLine(QPainter &painter, const QTextBlock &block, const std::vector<Piece> &pieces,
                   int selFrom, int selTo, const Inks &inks);
    static void drawStretch(QPainter &painter, const QTextLayout *layout, const QPointF &origin,
                            int column, int length, int fg, int bg, const Inks &inks,
                            const Glyphs &glyphs);
    QString colouredSelectionHtml() const;

    QStringView wantedText(size_t i) const;
    std::span<const Piece> wantedPieces(size_t i) const;

    bool m_live = false;
    bool m_shadowValid = false;   // m_lines describes the document
    bool m_applying = false;      // the document change under way is ours
    std::vector<Line> m_lines;

    // The newest table: text with CR LF breaks, the start and length of each line in it,
    // and the colour pieces of each line (m_pieces[m_pieceBegin[i] .. m_pieceBegin[i+1])).
    QString m_target;
    std::vector<int> m_lineStart;
    std::vector<int> m_lineLength;
    std::vector<Piece> m_pieces;
    std::vector<int> m_pieceBegin;
    std::vector<int> m_pieceLine;   // line of each piece, while the pieces are sorted

    // The glyph table of the fixed-pitch font of the live table.
    struct Mono
    {
        bool valid = false;    // built for font and ratio
        bool usable = false;   // a fixed-pitch font with every ASCII character
        QFont font;
        qreal ratio = 0;
        QGlyphRun run;
        std::array<quint32, 0x5F> index{};
    };
    bool monoGlyphs(const QTextLayout *layout, const QString &text);
    Mono m_mono;
    std::vector<quint32> m_monoIndexes;
    std::vector<QPointF> m_monoPositions;

    std::vector<int> m_fg;   // scratch of paintLine
    std::vector<int> m_bg;
    QRectF m_repaint;   // document area whose colours changed in the sync under way
    QTimer m_quiet;
    QTimer m_slice;             // the next slice, at the next turn of the window system
    double m_budgetMs = 0;
    int m_pendingFirst = 0;     // lines still to bring up to date in slices
    int m_pendingLast = -1;
};
