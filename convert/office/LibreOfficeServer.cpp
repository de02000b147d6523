// The spreadsheet server over LibreOffice Calc and C++ UNO, in the module the program loads
// with dlopen when it converts; nothing else links UNO, so the program starts on machines
// without LibreOffice.
//
// Each run starts its own soffice (OfficeProcess: private profile and pipe, so two programs
// or two tests never share an office) and stops it again. A call that the office does not
// answer in time gets the office killed; the pending call then fails instead of hanging.

#include "SpreadsheetServer.h"
#include "OfficeModuleApi.h"
#include "OfficeProcess.h"

#include <QFileInfo>
#include <QUrl>

#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/bridge/UnoUrlResolver.hpp>
#include <com/sun/star/bridge/XUnoUrlResolver.hpp>
#include <com/sun/star/connection/NoConnectException.hpp>
#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/container/XNameAccess.hpp>
#include <com/sun/star/document/XActionLockable.hpp>
#include <com/sun/star/document/XUndoManager.hpp>
#include <com/sun/star/document/XUndoManagerSupplier.hpp>
#include <com/sun/star/frame/Desktop.hpp>
#include <com/sun/star/frame/XComponentLoader.hpp>
#include <com/sun/star/frame/XDesktop2.hpp>
#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/lang/XComponent.hpp>
#include <com/sun/star/sheet/XCellRangeAddressable.hpp>
#include <com/sun/star/sheet/XCellRangeData.hpp>
#include <com/sun/star/sheet/XDatabaseRange.hpp>
#include <com/sun/star/sheet/XSheetCellCursor.hpp>
#include <com/sun/star/sheet/XSheetCellRanges.hpp>
#include <com/sun/star/sheet/XSpreadsheet.hpp>
#include <com/sun/star/sheet/XSpreadsheetDocument.hpp>
#include <com/sun/star/sheet/XSpreadsheetView.hpp>
#include <com/sun/star/sheet/XUniqueCellFormatRangesSupplier.hpp>
#include <com/sun/star/sheet/XUnnamedDatabaseRanges.hpp>
#include <com/sun/star/sheet/XUsedAreaCursor.hpp>
#include <com/sun/star/style/XStyleFamiliesSupplier.hpp>
#include <com/sun/star/table/BorderLine2.hpp>
#include <com/sun/star/table/CellRangeAddress.hpp>
#include <com/sun/star/table/BorderLineStyle.hpp>
#include <com/sun/star/table/CellHoriJustify.hpp>
#include <com/sun/star/table/TableBorder2.hpp>
#include <com/sun/star/table/XCell.hpp>
#include <com/sun/star/table/XCellRange.hpp>
#include <com/sun/star/table/XColumnRowRange.hpp>
#include <com/sun/star/table/XTableColumns.hpp>
#include <com/sun/star/text/XText.hpp>
#include <com/sun/star/uno/XComponentContext.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#include <com/sun/star/util/NumberFormat.hpp>
#include <com/sun/star/util/XMergeable.hpp>
#include <com/sun/star/util/XNumberFormats.hpp>
#include <com/sun/star/util/XNumberFormatsSupplier.hpp>
#include <cppuhelper/bootstrap.hxx>
#include <rtl/bootstrap.hxx>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <stdexcept>
#include <thread>
#include <vector>

using namespace css;
using rtl::OUString;
using css::uno::Any;
using css::uno::Reference;
using css::uno::Sequence;
using css::uno::UNO_QUERY;
using css::uno::UNO_QUERY_THROW;

namespace {

using Clock = std::chrono::steady_clock;

const QString kProgramDir = QStringLiteral(LIBREOFFICE_PROGRAM_DIR);
// Western, Asian and complex-script text each have their own size.
const OUString kCharHeights[] = {"CharHeight", "CharHeightAsian", "CharHeightComplex"};

OUString ou(const QString &s)
{
    return OUString(reinterpret_cast<const sal_Unicode *>(s.utf16()), s.size());
}

QString qs(const OUString &s)
{
    return QString::fromUtf16(reinterpret_cast<const char16_t *>(s.getStr()), s.getLength());
}

OUString fileUrl(const QString &path)
{
    return ou(QString::fromLatin1(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath())
                                      .toEncoded()));
}

beans::PropertyValue property(const char *name, const Any &value)
{
    beans::PropertyValue p;
    p.Name = OUString::createFromAscii(name);
    p.Value = value;
    return p;
}

// The local side of UNO, made once per process. URE_BOOTSTRAP must be set first or the
// type library is not found and the client crashes.
Reference<uno::XComponentContext> localContext()
{
    static Reference<uno::XComponentContext> context = [] {
        rtl::Bootstrap::set("URE_BOOTSTRAP",
                            ou(QStringLiteral("vnd.sun.star.pathname:") + kProgramDir
                               + QStringLiteral("/fundamentalrc")));
        return cppu::defaultBootstrap_InitialComponentContext();
    }();
    return context;
}

class OfficeServer;

class OfficeBook final : public SpreadsheetBook
{
public:
    OfficeBook(OfficeServer &server, Reference<lang::XComponent> doc);
    ~OfficeBook() override;

    void setText(int row, int column, const QString &text) override;
    void setTexts(int firstRow, int firstColumn,
                  const std::vector<std::vector<QString>> &rows) override;
    void setDefaultFont(const QString &family, double points) override;
    void setFontSize(const SheetRange &range, double points) override;
    void merge(const SheetRange &range) override;
    void alignRight(const SheetRange &range) override;
    void setFillAndBorders(const SheetRange &range, uint32_t rgb) override;
    void setColumnWidth(int column, int characters) override;
    void setAutoFilter(const SheetRange &range) override;
    QString cellText(int row, int column) override;
    SheetRows readRange(const SheetRange &range) override;
    // The cells of the range whose number format is exponent notation.
    std::vector<table::CellRangeAddress> scientificAreas(const SheetRange &range);
    void setScreenUpdating(bool on) override;
    void saveAs(const QString &path) override;
    void close() override;

private:
    Reference<table::XCellRange> cells(const SheetRange &r);
    Reference<beans::XPropertySet> props(const SheetRange &r)
    {
        return Reference<beans::XPropertySet>(cells(r), UNO_QUERY_THROW);
    }
    template <class F> auto guarded(F &&f) -> decltype(f());

    OfficeServer &m_server;
    Reference<lang::XComponent> m_doc;
    Reference<sheet::XSpreadsheet> m_sheet;
    bool m_locked = false;
};

class OfficeServer final : public SpreadsheetServer
{
public:
    explicit OfficeServer(std::chrono::milliseconds callLimit)
        : m_callLimit(callLimit), m_process(kProgramDir)
    {
    }
    ~OfficeServer() override { quit(); }

    // Starts soffice and connects; throws std::runtime_error with the reason.
    void start(std::chrono::milliseconds startLimit);

    std::unique_ptr<SpreadsheetBook> newBook() override
    {
        return load(QStringLiteral("private:factory/scalc"), false);
    }
    std::unique_ptr<SpreadsheetBook> openBook(const QString &path) override
    {
        return load(path, true);
    }
    bool isAlive() override { return m_process.running(); }
    void quit() override;
    int64_t processId() const override { return m_process.group(); }

    // Runs one UNO call under the watchdog and turns UNO failures into std::exception.
    template <class F> auto guarded(F &&f) -> decltype(f())
    {
        if (!m_desktop.is() || !m_process.running())
            throw std::runtime_error(failureText(QStringLiteral("not running")).toStdString());
        m_process.arm(m_callLimit);
        try {
            if constexpr (std::is_void_v<decltype(f())>) {
                f();
                m_process.disarm();
            } else {
                auto result = f();
                m_process.disarm();
                return result;
            }
        } catch (const uno::Exception &e) {
            m_process.disarm();
            throw std::runtime_error(failureText(qs(e.Message)).toStdString());
        }
    }

private:
    std::unique_ptr<SpreadsheetBook> load(const QString &pathOrFactory, bool isFile);
    QString failureText(const QString &detail)
    {
        if (m_process.killedByWatchdog())
            return QStringLiteral("LibreOffice did not answer within %1 s and was stopped")
                .arg(m_callLimit.count() / 1000.0);
        if (m_process.exited())
            return QStringLiteral("LibreOffice ended unexpectedly");
        return QStringLiteral("LibreOffice: ") + detail;
    }

    std::chrono::milliseconds m_callLimit;
    OfficeProcess m_process;
    Reference<frame::XDesktop2> m_desktop;
};

void OfficeServer::start(std::chrono::milliseconds startLimit)
{
    Reference<bridge::XUnoUrlResolver> resolver;
    try {
        resolver = bridge::UnoUrlResolver::create(localContext());
    } catch (const uno::Exception &e) {
        throw std::runtime_error("UNO bootstrap failed: " + qs(e.Message).toStdString());
    }
    m_process.start();
    const OUString url = ou(QStringLiteral("uno:pipe,name=") + m_process.pipeName()
                            + QStringLiteral(";urp;StarOffice.ComponentContext"));
    const auto deadline = Clock::now() + startLimit;
    // An office that accepts the connection but then stops answering must not hold the
    // start for ever either.
    m_process.arm(startLimit + std::chrono::seconds(1));
    for (;;) {
        try {
            Reference<uno::XComponentContext> remote(resolver->resolve(url), UNO_QUERY_THROW);
            m_desktop = frame::Desktop::create(remote);
            m_process.disarm();
            return;
        } catch (const connection::NoConnectException &) {
        } catch (const uno::Exception &e) {
            m_process.stop(std::chrono::milliseconds(0));
            throw std::runtime_error("LibreOffice refused the connection: "
                                     + qs(e.Message).toStdString());
        }
        if (m_process.exited()) {
            m_process.stop(std::chrono::milliseconds(0));
            throw std::runtime_error("LibreOffice ended while starting");
        }
        if (Clock::now() >= deadline) {
            m_process.stop(std::chrono::milliseconds(0));
            throw std::runtime_error("LibreOffice did not start within "
                                     + std::to_string(startLimit.count() / 1000) + " s");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

void OfficeServer::quit()
{
    if (m_process.group() == 0)
        return;
    if (m_desktop.is() && isAlive()) {
        m_process.arm(std::chrono::seconds(10));
        try {
            m_desktop->terminate();
        } catch (const uno::Exception &) {
            // A terminate that loses its connection is what a quitting office does.
        }
        m_process.disarm();
    }
    m_desktop.clear();
    m_process.stop(std::chrono::seconds(10));
}

std::unique_ptr<SpreadsheetBook> OfficeServer::load(const QString &pathOrFactory, bool isFile)
{
    Reference<lang::XComponent> doc = guarded([&] {
        Reference<frame::XComponentLoader> loader(m_desktop, UNO_QUERY_THROW);
        Sequence<beans::PropertyValue> args(isFile ? 4 : 3);
        beans::PropertyValue *arg = args.getArray();
        arg[0] = property("Hidden", Any(true));
        // A workbook from elsewhere never runs macros or fetches links.
        arg[1] = property("MacroExecutionMode", Any(sal_Int16(0)));
        arg[2] = property("UpdateDocMode", Any(sal_Int16(0)));
        if (isFile)
            arg[3] = property("ReadOnly", Any(true));
        return loader->loadComponentFromURL(isFile ? fileUrl(pathOrFactory) : ou(pathOrFactory),
                                            "_blank", 0, args);
    });
    if (!doc.is())
        throw std::runtime_error("LibreOffice cannot open this file as a workbook");
    return std::make_unique<OfficeBook>(*this, doc);
}

OfficeBook::OfficeBook(OfficeServer &server, Reference<lang::XComponent> doc)
    : m_server(server), m_doc(std::move(doc))
{
    guarded([&] {
        Reference<frame::XModel> model(m_doc, UNO_QUERY_THROW);
        Reference<sheet::XSpreadsheetView> view(model->getCurrentController(), UNO_QUERY);
        if (view.is())
            m_sheet = view->getActiveSheet();
        if (!m_sheet.is()) {
            Reference<sheet::XSpreadsheetDocument> book(m_doc, UNO_QUERY_THROW);
            Reference<container::XIndexAccess> sheets(book->getSheets(), UNO_QUERY_THROW);
            m_sheet.set(sheets->getByIndex(0), UNO_QUERY_THROW);
        }
        // Nobody undoes anything in a document only the program sees; recording 220,000
        // cells for undo costs as much as writing them.
        Reference<document::XUndoManagerSupplier> undo(m_doc, UNO_QUERY);
        if (undo.is())
            undo->getUndoManager()->lock();
        Reference<document::XActionLockable> actions(m_doc, UNO_QUERY);
        if (actions.is())
            actions->addActionLock();
        // Every row holds one line of the default font: measuring each written cell for
        // the row's height is wasted work.
        Reference<beans::XPropertySet> settings(m_doc, UNO_QUERY);
        if (settings.is())
            settings->setPropertyValue("IsAdjustHeightEnabled", Any(false));
    });
}

OfficeBook::~OfficeBook()
{
    try {
        close();
    } catch (const std::exception &) {
        // The office is gone; there is nothing left to close.
    }
}

template <class F> auto OfficeBook::guarded(F &&f) -> decltype(f())
{
    if (!m_doc.is())
        throw std::runtime_error("the workbook is closed");
    return m_server.guarded(std::forward<F>(f));
}

Reference<table::XCellRange> OfficeBook::cells(const SheetRange &r)
{
    return m_sheet->getCellRangeByPosition(r.firstColumn, r.firstRow, r.lastColumn, r.lastRow);
}

void OfficeBook::setText(int row, int column, const QString &text)
{
    guarded([&] {
        Reference<text::XText> cell(m_sheet->getCellByPosition(column, row), UNO_QUERY_THROW);
        cell->setString(ou(text));
    });
}

void OfficeBook::setTexts(int firstRow, int firstColumn,
                          const std::vector<std::vector<QString>> &rows)
{
    if (rows.empty())
        return;
    size_t width = 0;
    for (const auto &row : rows)
        width = std::max(width, row.size());
    if (width == 0)
        return;
    Sequence<Sequence<Any>> data(sal_Int32(rows.size()));
    Sequence<Any> *out = data.getArray();
    for (size_t r = 0; r < rows.size(); ++r) {
        out[r].realloc(sal_Int32(width));
        Any *cells = out[r].getArray();
        for (size_t c = 0; c < width; ++c)
            cells[c] <<= c < rows[r].size() ? ou(rows[r][c]) : OUString();
    }
    const SheetRange range{firstRow, firstColumn, firstRow + int(rows.size()) - 1,
                           firstColumn + int(width) - 1};
    guarded([&] {
        Reference<sheet::XCellRangeData>(cells(range), UNO_QUERY_THROW)->setDataArray(data);
    });
}

void OfficeBook::setDefaultFont(const QString &family, double points)
{
    guarded([&] {
        Reference<style::XStyleFamiliesSupplier> families(m_doc, UNO_QUERY_THROW);
        Reference<container::XNameAccess> cellStyles(
            families->getStyleFamilies()->getByName("CellStyles"), UNO_QUERY_THROW);
        Reference<beans::XPropertySet> style(cellStyles->getByName("Default"),
                                             UNO_QUERY_THROW);
        style->setPropertyValue("CharFontName", Any(ou(family)));
        for (const OUString &name : kCharHeights)
            style->setPropertyValue(name, Any(float(points)));
    });
}

void OfficeBook::setFontSize(const SheetRange &range, double points)
{
    guarded([&] {
        const auto p = props(range);
        for (const OUString &name : kCharHeights)
            p->setPropertyValue(name, Any(float(points)));
    });
}

void OfficeBook::merge(const SheetRange &range)
{
    guarded([&] { Reference<util::XMergeable>(cells(range), UNO_QUERY_THROW)->merge(true); });
}

void OfficeBook::alignRight(const SheetRange &range)
{
    guarded([&] {
        props(range)->setPropertyValue("HoriJustify", Any(table::CellHoriJustify_RIGHT));
    });
}

void OfficeBook::setFillAndBorders(const SheetRange &range, uint32_t rgb)
{
    guarded([&] {
        const auto p = props(range);
        p->setPropertyValue("CellBackColor", Any(sal_Int32(rgb)));
        table::BorderLine2 thin;
        thin.Color = 0;
        thin.LineStyle = table::BorderLineStyle::SOLID;
        thin.LineWidth = 26; // 0.75 pt, saved as a thin line
        thin.OuterLineWidth = 26;
        table::TableBorder2 border;
        border.TopLine = border.BottomLine = border.LeftLine = border.RightLine = thin;
        border.HorizontalLine = border.VerticalLine = thin;
        border.IsTopLineValid = border.IsBottomLineValid = true;
        border.IsLeftLineValid = border.IsRightLineValid = true;
        border.IsHorizontalLineValid = border.IsVerticalLineValid = true;
        p->setPropertyValue("TableBorder2", Any(border));
    });
}

void OfficeBook::setColumnWidth(int column, int characters)
{
    // 1/100 mm for `characters` digits of the default font plus its cell padding.
    const auto width =
        sal_Int32(std::ceil((characters + 5.0 / 7.0) * 111.0 * 2540.0 / 1440.0));
    guarded([&] {
        Reference<table::XColumnRowRange> cr(m_sheet, UNO_QUERY_THROW);
        Reference<beans::XPropertySet> col(cr->getColumns()->getByIndex(column), UNO_QUERY_THROW);
        col->setPropertyValue("Width", Any(width));
    });
}

void OfficeBook::setAutoFilter(const SheetRange &range)
{
    guarded([&] {
        // Named database ranges are not written to .xls; the sheet's unnamed one is.
        const sal_Int16 tab =
            Reference<sheet::XCellRangeAddressable>(m_sheet, UNO_QUERY_THROW)
                ->getRangeAddress().Sheet;
        Reference<beans::XPropertySet> docProps(m_doc, UNO_QUERY_THROW);
        Reference<sheet::XUnnamedDatabaseRanges> unnamed(
            docProps->getPropertyValue("UnnamedDatabaseRanges"), UNO_QUERY_THROW);
        table::CellRangeAddress address;
        address.Sheet = tab;
        address.StartColumn = range.firstColumn;
        address.StartRow = range.firstRow;
        address.EndColumn = range.lastColumn;
        address.EndRow = range.lastRow;
        unnamed->setByTable(address);
        Reference<beans::XPropertySet> db(unnamed->getByTable(tab), UNO_QUERY_THROW);
        db->setPropertyValue("AutoFilter", Any(true));
    });
}

QString OfficeBook::cellText(int row, int column)
{
    return guarded([&] {
        Reference<text::XText> cell(m_sheet->getCellByPosition(column, row), UNO_QUERY_THROW);
        return qs(cell->getString());
    });
}

SheetRows OfficeBook::readRange(const SheetRange &range)
{
    SheetRange r = range;
    const Sequence<Sequence<Any>> data = guarded([&] {
        // Reading stops at the used area: a short table does not cost 20001 rows.
        Reference<sheet::XSheetCellCursor> cursor = m_sheet->createCursor();
        Reference<sheet::XUsedAreaCursor>(cursor, UNO_QUERY_THROW)->gotoEndOfUsedArea(false);
        const sal_Int32 usedEnd =
            Reference<sheet::XCellRangeAddressable>(cursor, UNO_QUERY_THROW)
                ->getRangeAddress().EndRow;
        r.lastRow = std::min<int>(r.lastRow, usedEnd);
        if (r.lastRow < r.firstRow)
            return Sequence<Sequence<Any>>();
        return Reference<sheet::XCellRangeData>(cells(r), UNO_QUERY_THROW)->getDataArray();
    });
    const std::vector<table::CellRangeAddress> scientific =
        data.getLength() > 0 ? scientificAreas(r) : std::vector<table::CellRangeAddress>();
    const int width = r.lastColumn - r.firstColumn + 1;
    std::vector<bool> marked(size_t(std::max(0, r.lastRow - r.firstRow + 1)) * size_t(width));
    for (const table::CellRangeAddress &a : scientific)
        for (int row = std::max<int>(a.StartRow, r.firstRow);
             row <= std::min<int>(a.EndRow, r.lastRow); ++row)
            for (int column = std::max<int>(a.StartColumn, r.firstColumn);
                 column <= std::min<int>(a.EndColumn, r.lastColumn); ++column)
                marked[size_t(row - r.firstRow) * size_t(width) + size_t(column - r.firstColumn)] =
                    true;
    auto isScientific = [&](sal_Int32 row, sal_Int32 column) {
        const size_t at = size_t(row) * size_t(width) + size_t(column);
        return column < width && at < marked.size() && marked[at];
    };
    SheetRows rows(size_t(data.getLength()));
    for (sal_Int32 r_ = 0; r_ < data.getLength(); ++r_) {
        const Sequence<Any> &in = data[r_];
        auto &out = rows[size_t(r_)];
        out.resize(size_t(in.getLength()));
        for (sal_Int32 c = 0; c < in.getLength(); ++c) {
            OUString text;
            double number = 0;
            if (in[c] >>= text)
                out[size_t(c)] = SheetCell::fromText(qs(text));
            else if (in[c] >>= number)
                out[size_t(c)] = SheetCell::fromNumber(
                    number, isScientific(r_, c));
        }
    }
    return rows;
}

std::vector<table::CellRangeAddress> OfficeBook::scientificAreas(const SheetRange &range)
{
    // One question per distinct cell format, not one per cell: a whole table costs a few
    // calls.
    return guarded([&] {
        std::vector<table::CellRangeAddress> found;
        Reference<util::XNumberFormats> numberFormats =
            Reference<util::XNumberFormatsSupplier>(m_doc, UNO_QUERY_THROW)->getNumberFormats();
        Reference<container::XIndexAccess> formats =
            Reference<sheet::XUniqueCellFormatRangesSupplier>(cells(range), UNO_QUERY_THROW)
                ->getUniqueCellFormatRanges();
        for (sal_Int32 i = 0; i < formats->getCount(); ++i) {
            Reference<sheet::XSheetCellRanges> areas(formats->getByIndex(i), UNO_QUERY_THROW);
            sal_Int32 key = 0;
            Reference<beans::XPropertySet>(areas, UNO_QUERY_THROW)
                    ->getPropertyValue("NumberFormat") >>= key;
            sal_Int16 type = 0;
            numberFormats->getByKey(key)->getPropertyValue("Type") >>= type;
            if (!(type & util::NumberFormat::SCIENTIFIC))
                continue;
            for (const table::CellRangeAddress &a : areas->getRangeAddresses())
                found.push_back(a);
        }
        return found;
    });
}

void OfficeBook::setScreenUpdating(bool on)
{
    if (on == !m_locked)
        return;
    guarded([&] {
        Reference<frame::XModel> model(m_doc, UNO_QUERY_THROW);
        if (on)
            model->unlockControllers();
        else
            model->lockControllers();
    });
    m_locked = !on;
}

void OfficeBook::saveAs(const QString &path)
{
    guarded([&] {
        Reference<frame::XStorable> storable(m_doc, UNO_QUERY_THROW);
        Sequence<beans::PropertyValue> args(2);
        args.getArray()[0] = property("FilterName", Any(OUString("MS Excel 97")));
        args.getArray()[1] = property("Overwrite", Any(true));
        storable->storeToURL(fileUrl(path), args);
    });
}

void OfficeBook::close()
{
    if (!m_doc.is())
        return;
    Reference<lang::XComponent> doc = std::move(m_doc);
    m_doc.clear();
    if (!m_server.isAlive())
        return;
    m_server.guarded([&] {
        Reference<util::XCloseable> closeable(doc, UNO_QUERY);
        if (closeable.is())
            closeable->close(true);
        else
            doc->dispose();
    });
}

} // namespace

extern "C" {

OFFICE_MODULE_EXPORT int cankestrova_office_api()
{
    return kOfficeModuleApi;
}

OFFICE_MODULE_EXPORT bool cankestrova_office_usable(QString *why)
{
    for (const char *file : {"/soffice", "/fundamentalrc", "/types/offapi.rdb"}) {
        if (!QFileInfo::exists(kProgramDir + QLatin1String(file))) {
            if (why)
                *why = kProgramDir + QLatin1String(file) + QStringLiteral(" is missing");
            return false;
        }
    }
    return true;
}

OFFICE_MODULE_EXPORT SpreadsheetServer *cankestrova_office_start(int startLimitMs,
                                                                  int callLimitMs,
                                                                  QString *error)
{
    try {
        auto server = std::make_unique<OfficeServer>(std::chrono::milliseconds(callLimitMs));
        server->start(std::chrono::milliseconds(startLimitMs));
        return server.release();
    } catch (const std::exception &e) {
        if (error)
            *error = QString::fromStdString(e.what());
    } catch (const uno::Exception &e) {
        if (error)
            *error = qs(e.Message);
    }
    return nullptr;
}

} // extern "C"
