#include "goods/sales_page.h"

#include "goods/goods_grid.h"
#include "platform/app_context.h"
#include "platform/hover.h"
#include "platform/record_grid.h"
#include "ui_sales_page.h"

namespace khgl {
namespace {

// The date dialog opens left of and below "按日期查询" (twips).
constexpr int kDialogLeft = -1600;
constexpr int kDialogDown = 500;

} // namespace

SalesPage::SalesPage(PageEnv& env, QWidget* parent)
    : GoodsEntryPage(env, parent), m_ui(std::make_unique<Ui::SalesPage>())
{
    m_ui->setupUi(this);
    setUp({{{m_ui->Label45, m_ui->Image29}, {m_ui->Label46, m_ui->Image30}},
           m_ui->Frame3,
           m_ui->MS5,
           m_ui->Label7,
           m_ui->Label45,
           m_ui->Image29,
           m_ui->Label72,
           m_ui->Image27,
           m_ui->Label73,
           m_ui->Image28,
           m_ui->Text24,
           m_ui->Text25,
           m_ui->Text26,
           m_ui->Text27,
           m_ui->Text28,
           m_ui->Text29},
          goods::GoodsTable::Sales);
    onCommand(m_ui->Label46, &ClickLabel::clicked, &SalesPage::openDateDialog);
    for (ClickLineEdit* box : {m_ui->Text25, m_ui->Text26, m_ui->Text27, m_ui->Text29}) {
        onCommand(box, &ClickLineEdit::clicked, &SalesPage::closeAids);
    }
    connect(m_ui->Text24, &QLineEdit::textChanged, this,
            [this] { goods::keepOnlyDate(m_ui->Text24); });
}

SalesPage::~SalesPage() = default;

void SalesPage::closeWindows()
{
    if (m_dateDialog) {
        m_dateDialog->close();
    }
}

void SalesPage::openDateDialog()
{
    m_context.pictures.show(m_ui->Image30, Pictures::largeNormal());
    if (!m_dateDialog) {
        m_dateDialog = new DateQueryDialog(m_context, grid(), this);
    }
    const QPoint command = m_ui->Label46->mapToGlobal(QPoint(0, 0));
    showWindowAt(m_dateDialog,
                 command + QPoint(kDialogLeft / 15, m_ui->Label46->height() + kDialogDown / 15));
}

} // namespace khgl
