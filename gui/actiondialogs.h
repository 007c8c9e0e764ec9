#pragma once

#include "core/catalogue/version.h"

#include <QDialog>
#include <QList>

#include <vector>

class CComponent;
class CComponentHolder;
class QComboBox;
class QTreeWidget;

/// Chooses one version of a component: the capped version, or the one to roll back to.
class CVersionChoiceDlg : public QDialog {
    Q_OBJECT
public:
    CVersionChoiceDlg(const QString& title, const QString& component, const QList<CVersion>& versions,
                      QWidget* parent = nullptr);
    CVersion Chosen() const;
    QComboBox* Versions() const { return m_pVersions; }

private:
    QList<CVersion> m_Versions;
    QComboBox* m_pVersions;
};

/// The components an action drags along; ends with 1 include, 2 omit, 3 cancel.
class CDependencyList : public QDialog {
    Q_OBJECT
public:
    enum { Include = 1, Omit = 2, Cancel = 3 };
    CDependencyList(int action, const std::vector<CComponent*>& records, QWidget* parent = nullptr);
    static QString ActionWord(int action);

public Q_SLOTS:
    void SLOTYesClicked() { done(Include); }
    void SLOTNoClicked() { done(Omit); }
    void SLOTCancelClicked() { done(Cancel); }
};

/// The install messages of the components about to be installed.
class CNUVInstallWarningsDlg : public QDialog {
    Q_OBJECT
public:
    explicit CNUVInstallWarningsDlg(const QString& warnings, QWidget* parent = nullptr);
};

/// The licence agreement shown before a package's first installation.
class CEULABox : public QDialog {
    Q_OBJECT
public:
    explicit CEULABox(QWidget* parent = nullptr);
};

/// Offers the newer versions found when a package is opened, in two ticked lists.
class CNUVNewComponentDlg : public QDialog {
    Q_OBJECT
public:
    enum { Closed = 0, InstallChosen = 1, DownloadChosen = 2 };
    /// majors: newer by at least one major version; others: the rest.
    CNUVNewComponentDlg(const std::vector<CComponent*>& majors, const std::vector<CComponent*>& others,
                        QWidget* parent = nullptr);
    /// The ticked components' newest records; *major set when one of them is a major update.
    std::vector<CComponent*> Ticked(bool* major) const;
    QTreeWidget* MajorList() const { return m_pMajor; }
    QTreeWidget* OtherList() const { return m_pOther; }

public Q_SLOTS:
    void SLOTInstallBtn() { done(InstallChosen); }
    void SLOTDnldBtn();
    void SLOTCloseBtn() { done(Closed); }

private:
    QTreeWidget* MakeList(const std::vector<CComponent*>& records);
    std::vector<CComponent*> m_Majors;
    std::vector<CComponent*> m_Others;
    QTreeWidget* m_pMajor;
    QTreeWidget* m_pOther;
};

/// Lists the components whose catalogue defines one version more than once.
class CMultipleSameVersionsDlg : public QDialog {
    Q_OBJECT
public:
    explicit CMultipleSameVersionsDlg(const std::vector<CComponentHolder*>& holders,
                                      QWidget* parent = nullptr);
};
