#ifndef TESTTABLES_H
#define TESTTABLES_H

// The column declarations, rows and fetches of QtTest data tables, one line each.

#include <QtTest>

#include <tuple>

namespace TestTables {

// Declares the current test's table columns, one type per name, as QTest::addColumn does.
template <typename... T, typename... Name> void columns(Name... names)
{
    static_assert(sizeof...(T) == sizeof...(Name), "one type per column name");
    (QTest::addColumn<T>(names), ...);
}

// One data row of the current test's table.
template <typename... T> void row(const char *name, T... values)
{
    (QTest::newRow(name) << ... << values);
}

// The current row's values of the named columns, checked against their types as QFETCH does:
// const auto [a, b] = fetch<int, QString>("a", "b");
template <typename... T, typename... Name> std::tuple<T...> fetch(Name... names)
{
    static_assert(sizeof...(T) == sizeof...(Name), "one type per column name");
    return std::tuple<T...>(*static_cast<T *>(QTest::qData(names, qMetaTypeId<T>()))...);
}

} // namespace TestTables

#endif
