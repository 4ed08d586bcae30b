// Any typed date, alone or as a range, composed for each engine; any stored
// date shown in the grid.
#include "Check.h"
#include "core/search/StatementBuilder.h"
#include "db/Snapshot.h"
#include "db/TypeCode.h"

#include <fuzzer/FuzzedDataProvider.h>

using namespace vesko;
using Engine = db::Dialect::Engine;

namespace {

const QString kBase = QStringLiteral("select * from reg");

QString consumeText(FuzzedDataProvider &input)
{
    return QString::fromStdString(input.ConsumeRandomLengthString(40));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    SearchRow row{QStringLiteral("d"), true, db::TypeCode::Date, consumeText(input), {}, {}};
    if (input.ConsumeBool()) {
        row.rangeStart = consumeText(input);
        row.rangeEnd = consumeText(input);
    }
    const std::string stored = input.ConsumeRemainingBytesAsString();
    db::dateText(stored);

    for (const Engine engine : {Engine::Jet, Engine::Sqlite, Engine::Postgres, Engine::MySql, Engine::Standard}) {
        const ComposedSearch search = composeStatement({kBase, SearchJoin::And, false, {row}}, db::Dialect(engine));
        if (!search.refusal.isEmpty())
            continue;
        // The typed text never opens or closes a literal.
        const QString clause = search.statement.mid(kBase.size());
        const bool jet = engine == Engine::Jet;
        VESKO_FUZZ_CHECK(clause.count(u'#') == (jet ? 4 : 0));
        VESKO_FUZZ_CHECK(clause.count(u'\'') == (jet ? 0 : 4));
    }
    return 0;
}
