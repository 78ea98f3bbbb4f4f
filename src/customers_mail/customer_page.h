#pragma once

#include "data_store/data_store.h"
#include "widgets/page.h"

#include <QStringList>
#include <memory>

namespace Ui {
class CustomerPage;
}

namespace khgl {

class CustomerEntryWindow;
class CustomerGridEditor;
class KeysetPages;
class RecordEditor;

// The customer page: every purchase of 客户表 in the grid, the entry window for new ones,
// find by name, delete, and the save of the grid's last row with the description box.
class CustomerPage final : public Page
{
    Q_OBJECT

public:
    CustomerPage(PageEnv& env, QWidget* parent);
    ~CustomerPage() override;

    void loadNormalPictures() override;
    void opened() override;
    void closeWindows() override;
    // The grid: a new purchase is typed into its last row.
    QWidget* firstEntryBox() const override;

    // The entry window while it exists (opened by 记录信息), otherwise null.
    CustomerEntryWindow* entryWindow() const { return m_entry.get(); }
    CustomerGridEditor& gridEditor() const { return *m_editor; }

private:
    void prepareGrid();
    void loadAll();
    void fillFromFirstRow(std::unique_ptr<KeysetPages> records);
    void openEntryWindow();
    void placeEntryWindow();
    void findCustomer();
    void showExtraInformation(int row, int col);
    void deleteSelectedRow();
    void saveLastRow();
    void writeLastRow();
    void writeDescriptionFile(const QString& customerName);
    void showSavedEntry(const QStringList& texts, qint64 key);
    bool gridIsEmpty() const;
    void editSelected();
    bool writeEdit(RecordEditor& editor, const DataStore::ReadRecord& read);
    // Shows in a row what the record with this key now holds.
    void showStoredRow(int row, qint64 key);

    std::unique_ptr<Ui::CustomerPage> m_ui;
    std::unique_ptr<CustomerEntryWindow> m_entry;
    CustomerGridEditor* m_editor;
};

} // namespace khgl
