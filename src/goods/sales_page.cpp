#include "goods/sales_page.h"

#include "goods/goods_grid.h"
#include "input_aids/aid_target.h"
#include "platform/app_context.h"
#include "platform/hover.h"
#include "platform/record_grid.h"
#include "ui_sales_page.h"

namespace khgl {
namespace {

// The date dialog opens left of and below "按日期查询" (twips).
constexpr int kDialogLeft = -1600;
constexpr int kDialogDown = 500;

GoodsEntryConfig sales()
{
    return {goods::GoodsTable::Sales,
            {QStringLiteral("编号"), QStringLiteral("商品名称"), QStringLiteral("商品单价"),
             QStringLiteral("商品数量"), QStringLiteral("销售金额"), QStringLiteral("销售日期"),
             QStringLiteral("备注")},
            aid::SalesDate,
            aid::SalesAmount,
            QStringLiteral("当前销售总额为："),
            QStringLiteral("请输入要查询的商品名称。"),
            QStringLiteral("按商品名查询商品信息"),
            QStringLiteral("不存在查询商品的记录。"),
            /*listEmptyProductQuery=*/false,
            /*headerRowCopies=*/true,
            QStringLiteral("保存完毕。"),
            QStringLiteral("保存"),
            Dialogs::Icon::Information,
            /*totalAfterEveryTry=*/false,
            QStringLiteral("当前记录已经删除。"),
            /*aidsExclusive=*/true};
}

} // namespace

SalesPage::SalesPage(PageEnv& env, QWidget* parent)
    : GoodsEntryPage(env, parent), m_ui(std::make_unique<Ui::SalesPage>())
{
    m_ui->setupUi(this);
    m_hover.addLarge(this, m_ui->Label45, m_ui->Image29, &m_flags.a);
    m_hover.addLarge(this, m_ui->Label46, m_ui->Image30, &m_flags.b);
    m_hover.addSmall(m_ui->Frame3, m_ui->Label72, m_ui->Image27, &m_flags.a);
    m_hover.addSmall(m_ui->Frame3, m_ui->Label73, m_ui->Image28, &m_flags.b);
    setUp({m_ui->MS5, m_ui->Label7, m_ui->Label45, m_ui->Image29, m_ui->Label72, m_ui->Image27,
           m_ui->Label73, m_ui->Image28, m_ui->Text24, m_ui->Text25, m_ui->Text26, m_ui->Text27,
           m_ui->Text28, m_ui->Text29},
          sales());
    onCommand(m_ui->Label46, &ClickLabel::clicked, &SalesPage::openDateDialog);
    for (ClickLineEdit* box : {m_ui->Text25, m_ui->Text26, m_ui->Text27, m_ui->Text29}) {
        onCommand(box, &ClickLineEdit::clicked, &SalesPage::closeAids);
    }
    connect(m_ui->Text24, &QLineEdit::textChanged, this,
            [this] { goods::keepOnlyDate(m_ui->Text24); });
}

SalesPage::~SalesPage() = default;

void SalesPage::loadNormalPictures()
{
    for (QLabel* image : {m_ui->Image29, m_ui->Image30}) {
        m_context.pictures.show(image, Pictures::largeNormal());
    }
    for (QLabel* image : {m_ui->Image27, m_ui->Image28}) {
        m_context.pictures.show(image, Pictures::smallNormal());
    }
}

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
