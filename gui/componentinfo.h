#pragma once

#include <QWidget>

class CComponentHolder;
class QLabel;
class QTableWidget;

/// The "Component Information" dock's contents: the holder's versions and the current record.
class CComponentInfoWidget : public QWidget {
    Q_OBJECT
public:
    explicit CComponentInfoWidget(QWidget* parent = nullptr);
    /// Shows holder (null empties the view).
    void SetHolder(CComponentHolder* holder);
    /// The value shown in the row with this caption.
    QString Value(const QString& row) const;
    QString VersionLabel(int i) const;

public Q_SLOTS:
    void SLOTRefreshCmpntInfo();

private:
    CComponentHolder* m_pHolder = nullptr;   // not owned
    QLabel* m_pVersions[3];
    QTableWidget* m_pTable;
};
