#include "widgets/row_cache.h"

#include <QTest>
#include <numeric>
#include <stdexcept>

using namespace khgl;

namespace {

// A listing of numbered rows in memory: cell 1 holds "r<n>", the key is n; it can fail once.
struct NumberedRows final : RowSource
{
    explicit NumberedRows(std::vector<int>& numbers, int& fetches)
        : m_numbers(numbers), m_fetches(fetches)
    {
    }
    int count() override { return static_cast<int>(m_numbers.size()); }
    int fetch(int first, int n, int cols, std::vector<std::string>& cells,
              std::vector<qint64>& keys) override
    {
        ++m_fetches;
        if (failNext) {
            failNext = false;
            throw std::runtime_error("disk");
        }
        const int rows = std::min(n, count() - first);
        for (int r = 0; r < rows; ++r) {
            const int number = m_numbers[static_cast<size_t>(first + r)];
            cells[static_cast<size_t>(r * cols + 1)] = "r" + std::to_string(number);
            keys[static_cast<size_t>(r)] = number;
        }
        return rows;
    }
    void removed(int row) override { m_numbers.erase(m_numbers.begin() + row); }

    bool failNext = false;
    std::vector<int>& m_numbers;
    int& m_fetches;
};

} // namespace

class TestRowCache final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void keepsEditsAndKeysWhileBlocksComeAndGo_data()
    {
        QTest::addColumn<int>("blockRows");
        QTest::addColumn<int>("blocks");
        QTest::newRow("one row, one block") << 1 << 1;
        QTest::newRow("small blocks") << 4 << 2;
        QTest::newRow("one block holds all") << 256 << 16;
    }

    void keepsEditsAndKeysWhileBlocksComeAndGo()
    {
        QFETCH(int, blockRows);
        QFETCH(int, blocks);
        std::vector<int> numbers(40);
        std::iota(numbers.begin(), numbers.end(), 0);
        int fetches = 0;
        auto owned = std::make_unique<NumberedRows>(numbers, fetches);
        NumberedRows* source = owned.get();
        RowCache cache;
        const RowCache& shown = cache; // reads, as the view makes them
        cache.setBlockSize(blockRows, blocks);
        cache.resize(1, 3);
        cache.attach(std::move(owned));
        QCOMPARE(cache.rows(), 40);
        QCOMPARE(fetches, 0); // nothing read until asked

        // A failed read shows the row blank and is asked again.
        source->failNext = true;
        QCOMPARE(shown.cell(7, 1), std::string());
        QCOMPARE(shown.cell(7, 1), std::string("r7"));
        QCOMPARE(shown.key(39), qint64(39));

        // An edit outlives its block; a removed row leaves the source too, edits move up.
        cache.cell(5, 2) = "edited";
        for (int row = 0; row < 40; ++row) {
            QCOMPARE(shown.cell(row, 1), "r" + std::to_string(row));
        }
        cache.removeRow(3);
        QCOMPARE(numbers.size(), size_t(39));
        QCOMPARE(shown.cell(4, 2), std::string("edited"));
        QCOMPARE(shown.cell(4, 1), std::string("r5"));
        QCOMPARE(shown.key(38), qint64(39));

        // Rows added after the listing are held; visiting gives every row with its edits.
        cache.resize(40, 3);
        cache.cell(39, 1) = "new";
        std::vector<std::string> seen;
        cache.visit([&seen](int row, const std::string* cells) {
            seen.push_back(std::to_string(row) + cells[1] + cells[2]);
            return true;
        });
        QCOMPARE(seen.size(), size_t(40));
        QCOMPARE(seen[4], std::string("5r5edited"));
        QCOMPARE(seen[39], std::string("40new"));

        // Shrinking into the listing keeps the first rows as shown and lets the source go.
        cache.resize(6, 3);
        QVERIFY(!cache.hasSource());
        QCOMPARE(shown.cell(4, 2), std::string("edited"));
        QCOMPARE(shown.key(5), qint64(6));
        cache.clear();
        QCOMPARE(cache.rows(), 6);
        QCOMPARE(shown.cell(4, 2), std::string());
    }
};

QTEST_GUILESS_MAIN(TestRowCache)
#include "test_row_cache.moc"
