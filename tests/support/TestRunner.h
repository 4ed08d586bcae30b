#pragma once

#include <QTest>

#include <exception>

namespace vesko::test {

// One row of a data table, on one line: dataRow("tag", a, b, c).
template<typename... Values>
void dataRow(const QByteArray &tag, const Values &...values)
{
    (QTest::newRow(tag.constData()) << ... << values);
}

// A test object as QtTest runs it, except that an exception out of a test
// function fails the data row it came from, as a failed check does, and the
// next row runs; QtTest alone would end the whole program. QtTest calls each
// function through the meta-object it is given: here a copy of the test
// class's own, whose call function catches.
template<class Tests>
class ExceptionsFailTheRow : public QObject
{
public:
    ExceptionsFailTheRow() { m_meta.d.static_metacall = &call; }
    const QMetaObject *metaObject() const override { return &m_meta; }

    Tests tests;

private:
    static void call(QObject *self, QMetaObject::Call kind, int index, void **args)
    {
        try {
            Tests::staticMetaObject.d.static_metacall(&static_cast<ExceptionsFailTheRow *>(self)->tests, kind, index,
                                                      args);
        } catch (const std::exception &error) {
            QTest::qFail(QByteArray("exception: ").append(error.what()).constData(), __FILE__, __LINE__);
        } catch (...) {
            QTest::qFail("exception of an unknown type", __FILE__, __LINE__);
        }
    }

    QMetaObject m_meta = Tests::staticMetaObject;
};

} // namespace vesko::test

// The main of a test program on Application (QApplication, QCoreApplication).
#define VESKO_TEST_MAIN(Tests, Application)              \
    int main(int argc, char *argv[])                     \
    {                                                    \
        Application app(argc, argv);                     \
        app.setAttribute(Qt::AA_Use96Dpi, true);         \
        vesko::test::ExceptionsFailTheRow<Tests> runner; \
        return QTest::qExec(&runner, argc, argv);        \
    }
