#pragma once

#include <QDialog>

#include <string>
#include <vector>

class CComponentHolder;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QTextEdit;
class QTreeWidget;

/// Where new installation roots are proposed and root choosers start.
constexpr const char* kDefaultInstallPath = "/opt/tessom/r5";
constexpr const char* kRootsFolder = "/opt/tessom";

/// Name, installation path, tag and base distribution of a new package.
class CNewPackage : public QDialog {
    Q_OBJECT
public:
    explicit CNewPackage(QWidget* parent = nullptr);
    QString Name() const;
    QString Path() const;
    QString Tag() const;
    /// The index of the chosen distribution in the distribution list, or -1.
    int Distribution() const;
    bool FromTemplate() const;
    /// The text of the chosen server template (template mode).
    std::string TemplateText() const { return m_TemplateText; }

    QLineEdit* m_pName;
    QLineEdit* m_pPath;
    QLineEdit* m_pTag;
    QRadioButton* m_pFromDistribution;
    QRadioButton* m_pFromTemplate;
    QTreeWidget* m_pDistributions;
    QTreeWidget* m_pTemplates;
    QTextEdit* m_pInformation;

public Q_SLOTS:
    void SLOTPTFSelected();
    void SLOTOKBtn();
    void SLOTCancelBtn() { reject(); }
    void SLOTBrowseBtn();
    void SLOTCreateFromDistributionRaioClicked();
    void SLOTCreateFromPTFRaioClicked();

private:
    /// Lists the server's global and user templates (once; fetching runs the transfer loop).
    void FillTemplates();
    bool m_bTemplatesFilled = false;
    std::string m_TemplateText;
};

/// A package of the store to copy under a new name and installation path.
class CNUVDuplicateDlg : public QDialog {
    Q_OBJECT
public:
    explicit CNUVDuplicateDlg(QWidget* parent = nullptr);
    QString Source() const;
    QString Name() const;
    QString Path() const;

    QListWidget* m_pSources;
    QLineEdit* m_pName;
    QLineEdit* m_pPath;

public Q_SLOTS:
    void SLOTCopyClicked();
    void SLOTCancelClicked() { reject(); }
    void SLOTBrowseClicked();
};

/// Chooses a package of the store to delete.
class CDeletePackageDlg : public QDialog {
    Q_OBJECT
public:
    explicit CDeletePackageDlg(QWidget* parent = nullptr);
    QString Chosen() const;
    QListWidget* m_pPackages;
};

/// Edits the open package's installation path.
class CChangePath : public QDialog {
    Q_OBJECT
public:
    explicit CChangePath(const QString& path, QWidget* parent = nullptr);
    QString Path() const;
    QLineEdit* m_pPath;

public Q_SLOTS:
    void SLOTBrowseBtn();
};

/// The cached component files, attached to packages or not; ends with what to delete.
class CCacheManagementDlg : public QDialog {
    Q_OBJECT
public:
    enum { Cancelled = 0, DeleteAll = 2, DeleteUnattached = 3 };
    explicit CCacheManagementDlg(QWidget* parent = nullptr);
    QTreeWidget* m_pAttached;
    QTreeWidget* m_pUnattached;

public Q_SLOTS:
    void SLOTDeleteAll();
    void SLOTDeleteUnattached();
    void SLOTCancel() { done(Cancelled); }
};

/// The components a delta package would carry: changed versions and removed components.
class CDeltaComponentDlg : public QDialog {
    Q_OBJECT
public:
    CDeltaComponentDlg(const std::vector<CComponentHolder*>& changed,
                       const std::vector<CComponentHolder*>& removed, QWidget* parent = nullptr);
    QTreeWidget* m_pChanged;
    QListWidget* m_pRemoved;
};
