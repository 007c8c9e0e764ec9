#pragma once

#include <QDialog>
#include <QUrl>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QRadioButton;
class QSpinBox;

/// Lists the packages of the package store; "Open" or a double click chooses one.
class COpenPackageDlg : public QDialog {
    Q_OBJECT
public:
    explicit COpenPackageDlg(QWidget* parent = nullptr);
    QString Chosen() const { return m_Chosen; }
    QListWidget* Packages() const { return m_pList; }

public Q_SLOTS:
    void SLOTOpenClicked();
    void SLOTDoubleClicked(QListWidgetItem* item);

private:
    QListWidget* m_pList;
    QString m_Chosen;
};

/// Server, log-in, proxy and time-out settings of the connection details.
class CNUVSettingDlg : public QDialog {
    Q_OBJECT
public:
    explicit CNUVSettingDlg(QWidget* parent = nullptr);
    bool IsChanged() const { return m_bChanged; }
    /// Stores the fields into the connection details and writes them.
    void TakeValues();

    QComboBox* m_pServers;
    QCheckBox* m_pUserDefined;
    QLineEdit* m_pServer;
    QSpinBox* m_pTimeout;
    QLineEdit* m_pUser;
    QLineEdit* m_pPassword;
    QCheckBox* m_pUseProxy;
    QLineEdit* m_pProxyAddress;
    QLineEdit* m_pProxyPort;
    QCheckBox* m_pProxyAuth;
    QLineEdit* m_pProxyUser;
    QLineEdit* m_pProxyPassword;
    QLineEdit* m_pProxyDomain;

public Q_SLOTS:
    void SLOTUserDefinedServer();
    void SLOTUseProxy();
    void SLOTProxyAuthentication();
    void SLOTValueChanged() { m_bChanged = true; }

private:
    QLineEdit* Field(bool masked);
    bool m_bChanged = false;
};

/// The preferences of the options file.
class CNUVOptionsDlg : public QDialog {
    Q_OBJECT
public:
    explicit CNUVOptionsDlg(QWidget* parent = nullptr);

    QRadioButton* m_pLarge;
    QRadioButton* m_pSmall;
    QSpinBox* m_pLoginTimeout;
    QCheckBox* m_pReleaseNotes;
    QCheckBox* m_pWarnings;
    QCheckBox* m_pNewComponents;
    QCheckBox* m_pOnlineOption;

public Q_SLOTS:
    void SLOTEditConnectionDetails();
    void SLOTOkBtn();
};

/// Edits the open package's tag (at most 128 characters).
class CChangePackageTag : public QDialog {
    Q_OBJECT
public:
    explicit CChangePackageTag(const QString& tag, QWidget* parent = nullptr);
    QString Tag() const;
    QLineEdit* Field() const { return m_pTag; }

private:
    QLineEdit* m_pTag;
};

/// Edits the open package's name (its alias); OK needs a name.
class CChangeAlias : public QDialog {
    Q_OBJECT
public:
    explicit CChangeAlias(const QString& alias, QWidget* parent = nullptr);
    QString Alias() const;
    QLineEdit* Field() const { return m_pAlias; }

private:
    QLineEdit* m_pAlias;
};

/// The program's name, version and notices.
class CNUVAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit CNUVAboutBox(QWidget* parent = nullptr);
    static QString VersionText();
    /// The licence text shipped in the program folder's "docs".
    static QUrl LicenceUrl();
};

/// The warning shown to users of a generic log-in (after the settings were taken).
void WarnGenericLogin();
