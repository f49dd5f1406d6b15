// The main window: its controls, the paging buttons, the page label and its 1 ms timer.
#include "main_window.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QTreeWidget>

#include "click_sound.h"
#include "feedback_window.h"
#include "flat_button.h"
#include "gbk.h"
#include "qt_result_view.h"
#include "result_page.h"

namespace {

const char* const kTitle = "栎舟——沃岫科技中心2019年7月19日";
const char* const kMessageTitle = "系统提示";
const char* const kFirstPageMessage = "已经是第一页啦！";
const char* const kLastPageMessage = "已经是最后一页啦！";

// The outer size of the window; on X11 the window manager adds the frame to the client area.
constexpr QSize kOuterSize(519, 382);
constexpr QSize kClientSize(513, 353);

struct ColumnSpec
{
    const char* title;
    int width;
};
constexpr ColumnSpec kColumns[] = {{"省", 50}, {"市", 50}, {"区/县", 50}, {"村/街/路", 212}, {"编码", 50}};

const QColor kEditTextColour(0, 0, 255);
const QColor kLabelTextColour(255, 0, 0);

// Only the first cell of a selected row is drawn highlighted.
class FirstCellSelectionDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if (index.column() != 0)
            option->state &= ~QStyle::State_Selected;
    }
};

void centreOnScreen(QWidget* window, QSize outerSize)
{
    const QRect screen = window->screen()->geometry();
    window->move(screen.left() + (screen.width() - outerSize.width()) / 2,
                 screen.top() + (screen.height() - outerSize.height()) / 2);
}

} // namespace

std::string MainWindow::defaultServiceUrl()
{
    return POSTCODE_SERVICE_URL;
}

MainWindow::MainWindow(const std::string& serviceUrl, std::unique_ptr<ClickSound> sound)
    : m_service(serviceUrl), m_clickSound(sound ? std::move(sound) : makeClickSound()),
      m_runner(*this, m_service)
{
    setWindowTitle(QString::fromUtf8(kTitle));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFixedSize(kClientSize);
    createControls();
    for (QueryField field : {QueryField::Province, QueryField::City, QueryField::County}) {
        m_queryTexts->set(field, editText(field));
        connect(editFor(field), &QLineEdit::textChanged, this,
                [this, field] { m_queryTexts->set(field, editText(field)); });
    }

    auto* closeOnEscape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(closeOnEscape, &QShortcut::activated, this, &QWidget::close);

    connect(m_getButton, &QPushButton::clicked, this, &MainWindow::startQuery);
    connect(m_previousButton, &QPushButton::clicked, this, &MainWindow::showPreviousPage);
    connect(m_nextButton, &QPushButton::clicked, this, &MainWindow::showNextPage);
    connect(m_feedbackButton, &QPushButton::clicked, this, &MainWindow::openFeedbackWindow);

    m_statusTimer = new QTimer(this);
    m_statusTimer->setObjectName(QStringLiteral("时钟1"));
    m_statusTimer->setTimerType(Qt::PreciseTimer);
    m_statusTimer->setInterval(1);
    connect(m_statusTimer, &QTimer::timeout, this, &MainWindow::refreshPageStatus);
    m_statusTimer->start();

    m_pages.currentPage = 1;
    centreOnScreen(this, kOuterSize);
}

MainWindow::~MainWindow()
{
    m_runner.stop();
}

void MainWindow::createControls()
{
    m_resultList = new QTreeWidget(this);
    m_feedbackButton = new FlatButton(QStringLiteral("bug反馈"), *m_clickSound, this);
    m_provinceEdit = new QLineEdit(QStringLiteral("请输入<省份>"), this);
    m_cityEdit = new QLineEdit(QStringLiteral("请输入<市>"), this);
    m_countyEdit = new QLineEdit(QStringLiteral("请输入<县/区>"), this);
    m_getButton = new QPushButton(QStringLiteral("GET"), this);
    m_pageLabel = new QLabel(this);
    m_previousButton = new QPushButton(QStringLiteral("上一页"), this);
    m_nextButton = new QPushButton(QStringLiteral("下一页"), this);

    const struct
    {
        QWidget* control;
        const char* name;
        QRect geometry;
    } layout[] = {
        {m_resultList, "超级列表框1", {8, 0, 416, 352}}, {m_feedbackButton, "超级按钮1", {432, 8, 80, 48}},
        {m_provinceEdit, "编辑框1", {424, 64, 88, 24}},  {m_cityEdit, "编辑框2", {424, 104, 88, 28}},
        {m_countyEdit, "编辑框3", {424, 152, 88, 28}},   {m_getButton, "按钮1", {432, 208, 72, 32}},
        {m_pageLabel, "标签1", {432, 256, 80, 24}},      {m_previousButton, "按钮2", {440, 288, 64, 24}},
        {m_nextButton, "按钮3", {440, 320, 64, 24}},
    };
    for (const auto& entry : layout) {
        entry.control->setObjectName(QString::fromUtf8(entry.name));
        entry.control->setGeometry(entry.geometry);
    }

    m_resultList->setColumnCount(int(std::size(kColumns)));
    QStringList titles;
    for (const ColumnSpec& column : kColumns)
        titles << QString::fromUtf8(column.title);
    m_resultList->setHeaderLabels(titles);
    m_resultList->header()->setStretchLastSection(false);
    m_resultList->header()->setSectionResizeMode(QHeaderView::Fixed);
    m_resultList->header()->setSectionsMovable(false);
    m_resultList->header()->setSectionsClickable(true);
    m_resultList->header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    for (int i = 0; i < int(std::size(kColumns)); ++i)
        m_resultList->setColumnWidth(i, kColumns[i].width);
    m_resultList->setRootIsDecorated(false);
    m_resultList->setItemsExpandable(false);
    m_resultList->setUniformRowHeights(true);
    m_resultList->setSortingEnabled(false);
    m_resultList->setAllColumnsShowFocus(false);
    m_resultList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_resultList->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_resultList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_resultList->setItemDelegate(new FirstCellSelectionDelegate(m_resultList));
    QPalette listPalette = m_resultList->palette();
    listPalette.setColor(QPalette::Base, Qt::white);
    listPalette.setColor(QPalette::Text, Qt::black);
    for (QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText})
        listPalette.setColor(QPalette::Inactive, role, listPalette.color(QPalette::Active, role));
    m_resultList->setPalette(listPalette);

    for (QLineEdit* edit : {m_provinceEdit, m_cityEdit, m_countyEdit}) {
        QPalette palette = edit->palette();
        palette.setColor(QPalette::Text, kEditTextColour);
        palette.setColor(QPalette::Base, Qt::white);
        // The selection shows only while the box has the focus.
        palette.setColor(QPalette::Inactive, QPalette::Highlight, Qt::white);
        palette.setColor(QPalette::Inactive, QPalette::HighlightedText, kEditTextColour);
        edit->setPalette(palette);
    }

    for (QPushButton* button : {m_getButton, m_previousButton, m_nextButton}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }

    QPalette labelPalette = m_pageLabel->palette();
    labelPalette.setColor(QPalette::WindowText, kLabelTextColour);
    m_pageLabel->setPalette(labelPalette);
    m_pageLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_pageLabel->setFocusPolicy(Qt::NoFocus);

    setTabOrder(m_feedbackButton, m_provinceEdit);
    setTabOrder(m_provinceEdit, m_cityEdit);
    setTabOrder(m_cityEdit, m_countyEdit);
    setTabOrder(m_countyEdit, m_getButton);
    setTabOrder(m_getButton, m_previousButton);
    setTabOrder(m_previousButton, m_nextButton);
    setTabOrder(m_nextButton, m_resultList);
}

QLineEdit* MainWindow::editFor(QueryField field) const
{
    return field == QueryField::Province ? m_provinceEdit
           : field == QueryField::City   ? m_cityEdit
                                         : m_countyEdit;
}

query::Text MainWindow::editText(QueryField field) const
{
    return query::gbkFromUtf8(editFor(field)->text().toStdString());
}

void MainWindow::clearRows()
{
    // A query's probes clear the list again and again; clearing an empty one would only repaint it.
    if (m_resultList->topLevelItemCount() > 0)
        m_resultList->clear();
}

int MainWindow::insertRow(int position, const QString& firstCell)
{
    const int row = qBound(0, position, m_resultList->topLevelItemCount());
    auto* item = new QTreeWidgetItem(QStringList{firstCell});
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    m_resultList->insertTopLevelItem(row, item);
    return row;
}

void MainWindow::setCell(int row, int column, const QString& text)
{
    if (QTreeWidgetItem* item = m_resultList->topLevelItem(row))
        item->setText(column, text);
}

void MainWindow::deleteRow(int row)
{
    delete m_resultList->takeTopLevelItem(row);
}

void MainWindow::showModalMessage(const QString& text)
{
    QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(kMessageTitle), text, QMessageBox::Ok);
    box.exec();
}

QMessageBox* MainWindow::openMessage(const QString& text)
{
    auto* box = new QMessageBox(QMessageBox::NoIcon, QString::fromUtf8(kMessageTitle), text, QMessageBox::Ok);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    box->show();
    return box;
}

void MainWindow::startQuery()
{
    m_runner.start();
}

void MainWindow::showPreviousPage()
{
    if (m_pages.currentPage == 1) {
        showModalMessage(QString::fromUtf8(kFirstPageMessage));
        return;
    }
    fillCurrentPage(--m_pages.currentPage);
}

void MainWindow::showNextPage()
{
    if (m_pages.currentPage == m_pages.totalPages) {
        showModalMessage(QString::fromUtf8(kLastPageMessage));
        return;
    }
    fillCurrentPage(++m_pages.currentPage);
}

void MainWindow::fillCurrentPage(int32_t pageNumber)
{
    QtResultView view(*this, takeFillTicket());
    query::Text resultBlock;
    query::fetchResultPage(view, m_service, pageNumber, resultBlock, false);
}

void MainWindow::refreshPageStatus()
{
    const int32_t currentPage = m_pages.currentPage;
    const int32_t totalPages = m_pages.totalPages;
    m_previousButton->setEnabled(currentPage != 1);
    const QString status = QString::number(currentPage) + QLatin1Char('/') + QString::number(totalPages);
    // Unchanged text is not set again, so that an idle window does not repaint every millisecond.
    if (status != m_shownStatus) {
        m_shownStatus = status;
        m_pageLabel->setText(status);
    }
}

void MainWindow::openFeedbackWindow()
{
    FeedbackWindow window(this);
    window.exec();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    // A worker's open "失败" box must not keep the program alive once the main window is closed.
    m_runner.stop();
    event->accept();
}
