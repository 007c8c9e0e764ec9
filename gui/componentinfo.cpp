#include "gui/componentinfo.h"

#include "core/catalogue/component.h"
#include "core/catalogue/componentholder.h"
#include "gui/dialogparts.h"

#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

const char* const kRows[] = {"Name", "Description", "Version", "Extention", "Filename", "Group",
                             "Depends", "Num Dependencies", "Num Dependants", "Included",
                             "Server Path", "Release Note File", "Needs service start", "Needs Setup"};
constexpr int kRowCount = int(sizeof(kRows) / sizeof(kRows[0]));
const char* const kVersionCaptions[] = {"Installed Version:", "Downloaded Version:", "Capped Version:"};

QString VersionText(const CVersion& version)
{
    return version.IsZero() ? QString("None") : Text(version.ToString());
}

QString Bool(bool value) { return value ? "true" : "false"; }

}  // namespace

CComponentInfoWidget::CComponentInfoWidget(QWidget* parent)
    : QWidget(parent), m_pTable(new QTableWidget(kRowCount, 2, this))
{
    auto* layout = new QVBoxLayout(this);
    auto* versions = new QFormLayout;
    for (int i = 0; i < 3; ++i) {
        m_pVersions[i] = new QLabel(this);
        m_pVersions[i]->setAccessibleName(QString(kVersionCaptions[i]).chopped(1));
        versions->addRow(kVersionCaptions[i], m_pVersions[i]);
    }
    layout->addLayout(versions);
    m_pTable->setHorizontalHeaderLabels({"Property", "Value"});
    m_pTable->verticalHeader()->hide();
    m_pTable->horizontalHeader()->setStretchLastSection(true);
    m_pTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_pTable->setAccessibleName("Component Properties");
    for (int row = 0; row < kRowCount; ++row) {
        m_pTable->setItem(row, 0, new QTableWidgetItem(kRows[row]));
        m_pTable->setItem(row, 1, new QTableWidgetItem);
    }
    m_pTable->resizeColumnToContents(0);
    layout->addWidget(m_pTable);
    setAccessibleName("Component Information");
}

void CComponentInfoWidget::SetHolder(CComponentHolder* holder)
{
    m_pHolder = holder;
    SLOTRefreshCmpntInfo();
}

void CComponentInfoWidget::SLOTRefreshCmpntInfo()
{
    const CComponent* record = m_pHolder ? m_pHolder->GetCurrent() : nullptr;
    if (!record) {
        for (QLabel* label : m_pVersions)
            label->clear();
        for (int row = 0; row < kRowCount; ++row)
            m_pTable->item(row, 1)->setText(QString());
        return;
    }
    m_pVersions[0]->setText(VersionText(m_pHolder->GetInstalledVersion()));
    m_pVersions[1]->setText(VersionText(m_pHolder->GetDownloadedVersion()));
    m_pVersions[2]->setText(VersionText(m_pHolder->GetCappedVersion()));
    const QString values[kRowCount] = {
        Text(record->GetName()), Text(record->GetDescription()), VersionText(record->GetVersion()),
        Text(record->GetExtention()), Text(record->ArchiveName()), Text(record->GetGroup()),
        Text(record->GetDepends()), QString::number(record->GetDependencies().size()),
        QString::number(record->GetDependants().size()), Bool(record->IsIncluded()),
        Text(record->GetServerPath()), Text(record->GetReleaseNotes()),
        Bool(record->NeedStartService()), Bool(record->NeedSetup())};
    for (int row = 0; row < kRowCount; ++row)
        m_pTable->item(row, 1)->setText(values[row]);
}

QString CComponentInfoWidget::Value(const QString& row) const
{
    for (int i = 0; i < kRowCount; ++i)
        if (row == kRows[i])
            return m_pTable->item(i, 1)->text();
    return QString();
}

QString CComponentInfoWidget::VersionLabel(int i) const { return m_pVersions[i]->text(); }
