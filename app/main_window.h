// The main window: three query boxes, "GET", the result list, the paging buttons and the page label.
#pragma once

#include <memory>
#include <string>

#include <QWidget>

#include "click_sound.h"
#include "page_state.h"
#include "postcode_service.h"
#include "query_runner.h"
#include "query_texts.h"
#include "text.h"

class QLabel;
class QLineEdit;
class QMessageBox;
class QPushButton;
class QTimer;
class QTreeWidget;

class FlatButton;

class MainWindow : public QWidget
{
    Q_OBJECT

public:
    using QueryField = QueryTexts::Field;

    static std::string defaultServiceUrl();

    // sound: the click of "bug反馈"; the system's sound device when none is given.
    explicit MainWindow(const std::string& serviceUrl = defaultServiceUrl(),
                        std::unique_ptr<ClickSound> sound = nullptr);
    ~MainWindow() override;

    PageState& pageState() { return m_pages; }
    bool queryRunning() const { return m_runner.running(); }

    // The window as the query engine reaches it, on the GUI thread (see QtResultView).
    query::Text editText(QueryField field) const;
    // The same texts for any thread, as they stood when the GUI thread last saw them change.
    std::shared_ptr<const QueryTexts> queryTexts() const { return m_queryTexts; }
    void clearRows();
    int insertRow(int position, const QString& firstCell);
    void setCell(int row, int column, const QString& text);
    void deleteRow(int row);

    // Every fill of the list takes a ticket; only the newest fill may change the list.
    int takeFillTicket() { return ++m_newestFill; }
    bool isCurrentFill(int ticket) const { return ticket == m_newestFill; }

    // "系统提示" boxes: modal for the GUI thread, or left open for a worker that waits for them.
    static void showModalMessage(const QString& text);
    static QMessageBox* openMessage(const QString& text);

    void startQuery();
    void showPreviousPage();
    void showNextPage();
    void refreshPageStatus();
    void openFeedbackWindow();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void createControls();
    QLineEdit* editFor(QueryField field) const;
    void fillCurrentPage(int32_t pageNumber);

    PageState m_pages;
    std::shared_ptr<QueryTexts> m_queryTexts = std::make_shared<QueryTexts>();
    query::PostcodeService m_service;
    std::unique_ptr<ClickSound> m_clickSound;
    QueryRunner m_runner;
    int m_newestFill = 0;
    QString m_shownStatus;

    QTreeWidget* m_resultList = nullptr;
    FlatButton* m_feedbackButton = nullptr;
    QLineEdit* m_provinceEdit = nullptr;
    QLineEdit* m_cityEdit = nullptr;
    QLineEdit* m_countyEdit = nullptr;
    QPushButton* m_getButton = nullptr;
    QLabel* m_pageLabel = nullptr;
    QPushButton* m_previousButton = nullptr;
    QPushButton* m_nextButton = nullptr;
    QTimer* m_statusTimer = nullptr;
};
