// Queries of the window suites against tests/fixtures/window_postcodes.tsv, the rows the stand-in lists
// for them, and the rows the window shows, each as "province|city|county|place|postcode".
#pragma once

#include <QStringList>
#include <QTreeWidget>

#include <algorithm>

#include "main_window.h"

struct WindowQuery
{
    QString province, city, county, place; // place with %1 for the place's number
    int rows;      // places that match
    int firstCode; // postcode of the first place
};

inline int pageCount(const WindowQuery& query)
{
    return (query.rows + 19) / 20;
}

// The rows of a page as the stand-in lists them; pages past the last repeat the last one.
inline QStringList expectedRows(const WindowQuery& query, int page)
{
    QStringList rows;
    if (query.rows == 0)
        return rows;
    const int shownPage = std::clamp(page, 1, pageCount(query));
    for (int i = (shownPage - 1) * 20; i < std::min(query.rows, shownPage * 20); ++i)
        rows << QStringList{query.province, query.city, query.county, query.place.arg(i + 1),
                            QString::number(query.firstCode + i)}
                    .join('|');
    return rows;
}

inline QStringList listedRows(const MainWindow& window)
{
    auto* list = window.findChild<QTreeWidget*>("超级列表框1");
    QStringList rows;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        QStringList cells;
        for (int column = 0; column < 5; ++column)
            cells << list->topLevelItem(i)->text(column);
        rows << cells.join('|');
    }
    return rows;
}
