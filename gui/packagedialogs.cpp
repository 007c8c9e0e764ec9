#include "gui/packagedialogs.h"

#include "core/nuvfunctions.h"
#include "core/nuvoptions.h"
#include "core/server/connectiondetails.h"
#include "gui/startup.h"
#include "gui/userprompts.h"
#include "gui/dialogparts.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QUrl>
#include <QVBoxLayout>

void WarnGenericLogin()
{
    if (CNUVFunctions::Instance()->ConnectionDetails()->IsGenericLogin())
        Warn("Generic Login", Text(CConnectionDetails::GenericLoginWarning()));
}

// --- Open package ---------------------------------------------------------------------------

COpenPackageDlg::COpenPackageDlg(QWidget* parent) : QDialog(parent), m_pList(new QListWidget(this))
{
    setWindowTitle("NUV - Open Package");
    auto* layout = new QVBoxLayout(this);
    auto* caption = new QLabel("&Packages", this);
    caption->setBuddy(m_pList);
    layout->addWidget(caption);
    m_pList->setAccessibleName("Packages");
    for (const std::string& name : CNUVFunctions::Instance()->GetPackageList())
        m_pList->addItem(Text(name));
    m_pList->setCurrentRow(0);
    layout->addWidget(m_pList);
    QDialogButtonBox* box = OkCancel(this, "Open");
    box->button(QDialogButtonBox::Ok)->setEnabled(m_pList->count() > 0);
    connect(box, &QDialogButtonBox::accepted, this, &COpenPackageDlg::SLOTOpenClicked);
    connect(m_pList, &QListWidget::itemDoubleClicked, this, &COpenPackageDlg::SLOTDoubleClicked);
    layout->addWidget(box);
}

void COpenPackageDlg::SLOTOpenClicked()
{
    if (QListWidgetItem* item = m_pList->currentItem())
        SLOTDoubleClicked(item);
}

void COpenPackageDlg::SLOTDoubleClicked(QListWidgetItem* item)
{
    m_Chosen = item->text();
    accept();
}

// --- Connection details ---------------------------------------------------------------------

QLineEdit* CNUVSettingDlg::Field(bool masked)
{
    auto* field = new QLineEdit(this);
    field->setMaxLength(kFieldLength);
    if (masked)
        field->setEchoMode(QLineEdit::Password);
    return field;
}

CNUVSettingDlg::CNUVSettingDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle("NUV - Connection Details");
    const CConnectionDetails& details = *CNUVFunctions::Instance()->ConnectionDetails();
    auto* layout = new QVBoxLayout(this);

    auto* server = new QGroupBox("Server Details", this);
    auto* serverForm = new QFormLayout(server);
    m_pServers = new QComboBox(server);
    for (const char* name : CConnectionDetails::kBuiltInServers)
        m_pServers->addItem(name);
    m_pUserDefined = new QCheckBox("User Defined Server", server);
    m_pServer = Field(false);
    m_pTimeout = new QSpinBox(server);
    m_pTimeout->setRange(CConnectionDetails::kMinTimeout, CConnectionDetails::kMaxTimeout);
    m_pTimeout->setSuffix(" Seconds");
    serverForm->addRow("Server", m_pServers);
    serverForm->addRow(m_pUserDefined, m_pServer);
    serverForm->addRow("File Transfer Timeout (15-300)", m_pTimeout);
    layout->addWidget(server);

    auto* user = new QGroupBox("User Details", this);
    auto* userForm = new QFormLayout(user);
    m_pUser = Field(false);
    m_pPassword = Field(true);
    userForm->addRow("Username", m_pUser);
    userForm->addRow("Password", m_pPassword);
    layout->addWidget(user);

    auto* proxy = new QGroupBox("Proxy Settings", this);
    auto* proxyForm = new QFormLayout(proxy);
    m_pUseProxy = new QCheckBox("Use Proxy Server", proxy);
    m_pProxyAddress = Field(false);
    m_pProxyPort = Field(false);
    m_pProxyAuth = new QCheckBox("Proxy Requires Authorisation", proxy);
    m_pProxyUser = Field(false);
    m_pProxyPassword = Field(true);
    m_pProxyDomain = Field(false);
    proxyForm->addRow(m_pUseProxy);
    proxyForm->addRow("Proxy Server Address", m_pProxyAddress);
    proxyForm->addRow("Proxy Server Port", m_pProxyPort);
    proxyForm->addRow(m_pProxyAuth);
    proxyForm->addRow("Proxy Username", m_pProxyUser);
    proxyForm->addRow("Proxy Password", m_pProxyPassword);
    proxyForm->addRow("Proxy Domain", m_pProxyDomain);
    layout->addWidget(proxy);

    // Screen readers take the captions from the form rows; the free fields get their own.
    m_pServers->setAccessibleName("Server");
    m_pServer->setAccessibleName("User Defined Server Name");

    const bool builtIn = details.IsBuiltInServer();
    m_pUserDefined->setChecked(!builtIn);
    if (builtIn)
        m_pServers->setCurrentText(Text(details.GetServer()));
    else
        m_pServer->setText(Text(details.GetServer()));
    m_pTimeout->setValue(details.GetTransferTimeout());
    m_pUser->setText(Text(details.GetUserName()));
    m_pPassword->setText(Text(details.GetPassword()));
    m_pUseProxy->setChecked(details.UsesProxy());
    if (details.UsesProxy()) {
        m_pProxyAddress->setText(Text(details.GetProxyServer()));
        m_pProxyPort->setText(QString::number(details.GetProxyPort()));
    }
    m_pProxyAuth->setChecked(details.ProxyNeedsAuthorisation());
    if (details.ProxyNeedsAuthorisation()) {
        m_pProxyUser->setText(Text(details.GetProxyUsername()));
        m_pProxyPassword->setText(Text(details.GetProxyPassword()));
        m_pProxyDomain->setText(Text(details.GetProxyDomain()));
    }
    SLOTUserDefinedServer();
    SLOTUseProxy();
    m_bChanged = false;
    for (QLineEdit* field : {m_pServer, m_pUser, m_pPassword, m_pProxyAddress, m_pProxyPort,
                             m_pProxyUser, m_pProxyPassword, m_pProxyDomain})
        connect(field, &QLineEdit::textChanged, this, &CNUVSettingDlg::SLOTValueChanged);
    connect(m_pUserDefined, &QCheckBox::toggled, this, &CNUVSettingDlg::SLOTUserDefinedServer);
    connect(m_pUseProxy, &QCheckBox::toggled, this, &CNUVSettingDlg::SLOTUseProxy);
    connect(m_pProxyAuth, &QCheckBox::toggled, this, &CNUVSettingDlg::SLOTProxyAuthentication);

    QDialogButtonBox* box = OkCancel(this);
    connect(box, &QDialogButtonBox::accepted, this, [this] {
        TakeValues();
        accept();
    });
    layout->addWidget(box);
}

void CNUVSettingDlg::SLOTUserDefinedServer()
{
    m_pServer->setEnabled(m_pUserDefined->isChecked());
    m_pServers->setEnabled(!m_pUserDefined->isChecked());
    m_bChanged = true;
}

void CNUVSettingDlg::SLOTUseProxy()
{
    const bool on = m_pUseProxy->isChecked();
    m_pProxyAddress->setEnabled(on);
    m_pProxyPort->setEnabled(on);
    m_pProxyAuth->setEnabled(on);
    if (!on)
        m_pProxyAuth->setChecked(false);
    SLOTProxyAuthentication();
}

void CNUVSettingDlg::SLOTProxyAuthentication()
{
    const bool on = m_pProxyAuth->isChecked();
    for (QLineEdit* field : {m_pProxyUser, m_pProxyPassword, m_pProxyDomain})
        field->setEnabled(on);
    m_bChanged = true;
}

void CNUVSettingDlg::TakeValues()
{
    CConnectionDetails& details = *CNUVFunctions::Instance()->ConnectionDetails();
    (void)details.SetServer(Latin1(m_pUserDefined->isChecked() ? m_pServer->text()
                                                                : m_pServers->currentText()));
    details.SetTransferTimeout(m_pTimeout->value());
    const bool noLogin = m_pUser->text().isEmpty() && m_pPassword->text().isEmpty();
    details.SetUserName(noLogin ? CConnectionDetails::kGenericUsers[0] : Latin1(m_pUser->text()));
    details.SetPassword(noLogin ? CConnectionDetails::kGenericPassword : Latin1(m_pPassword->text()));
    const bool proxy = m_pUseProxy->isChecked();
    const bool auth = proxy && m_pProxyAuth->isChecked();
    details.SetProxyServer(proxy ? Latin1(m_pProxyAddress->text()) : std::string());
    details.SetProxyPort(proxy ? std::atoi(Latin1(m_pProxyPort->text()).c_str())
                               : CConnectionDetails::kDefaultProxyPort);
    details.SetProxyUsername(auth ? Latin1(m_pProxyUser->text()) : std::string());
    details.SetProxyPassword(auth ? Latin1(m_pProxyPassword->text()) : std::string());
    details.SetProxyDomain(auth ? Latin1(m_pProxyDomain->text()) : std::string());
    (void)details.WriteDetails();   // an unwritable file keeps the old one; the values still apply
}

// --- Options --------------------------------------------------------------------------------

CNUVOptionsDlg::CNUVOptionsDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle("NUV - Options");
    const CNUVOptions& options = *CNUVOptions::Instance();
    auto* layout = new QVBoxLayout(this);
    auto* icons = new QGroupBox("Icon Size", this);
    auto* iconRow = new QVBoxLayout(icons);
    m_pLarge = new QRadioButton("Large", icons);
    m_pSmall = new QRadioButton("Small", icons);
    iconRow->addWidget(m_pLarge);
    iconRow->addWidget(m_pSmall);
    iconRow->addWidget(new QLabel("Changes take effect next time the appilcation is started.", icons));
    (options.m_nIconSize == 24 ? m_pLarge : m_pSmall)->setChecked(true);
    layout->addWidget(icons);

    auto* form = new QFormLayout;
    m_pLoginTimeout = new QSpinBox(this);
    m_pLoginTimeout->setRange(1, 120);
    m_pLoginTimeout->setSuffix(" Secs");
    m_pLoginTimeout->setValue(options.m_nLoginTimeout);
    form->addRow("LogIn Timeout", m_pLoginTimeout);
    layout->addLayout(form);

    m_pReleaseNotes = new QCheckBox("Get release notes every time an object is selected", this);
    m_pReleaseNotes->setToolTip("Collect every, using FTP, the release notes every time a component is selected");
    m_pReleaseNotes->setChecked(options.m_bAutoGetReleaseNotes);
    m_pWarnings = new QCheckBox("Display Installation warning messages", this);
    m_pWarnings->setChecked(options.m_bDisplayWarningMessage);
    m_pNewComponents = new QCheckBox("Display new Component dialog when opening a Package", this);
    m_pNewComponents->setChecked(options.m_bDisplayNewComponentDlg);
    m_pOnlineOption = new QCheckBox("Display online/offline option", this);
    for (QCheckBox* box : {m_pReleaseNotes, m_pWarnings, m_pNewComponents, m_pOnlineOption})
        layout->addWidget(box);

    auto* connection = new QPushButton("Connection Details", this);
    connection->setToolTip("Connection details options");
    connect(connection, &QPushButton::clicked, this, &CNUVOptionsDlg::SLOTEditConnectionDetails);
    layout->addWidget(connection, 0, Qt::AlignLeft);

    QDialogButtonBox* box = OkCancel(this);
    connect(box, &QDialogButtonBox::accepted, this, &CNUVOptionsDlg::SLOTOkBtn);
    layout->addWidget(box);
}

void CNUVOptionsDlg::SLOTEditConnectionDetails()
{
    CNUVSettingDlg dialog(this);
    if (CUserPrompts::Instance().Run(dialog) != QDialog::Accepted)
        return;
    CNUVFunctions::Instance()->ConnectionDetails()->SetChanged(dialog.IsChanged());
    WarnGenericLogin();
}

void CNUVOptionsDlg::SLOTOkBtn()
{
    CNUVOptions& options = *CNUVOptions::Instance();
    options.m_bAutoGetReleaseNotes = m_pReleaseNotes->isChecked();
    options.m_bDisplayWarningMessage = m_pWarnings->isChecked();
    options.m_bDisplayNewComponentDlg = m_pNewComponents->isChecked();
    options.m_nLoginTimeout = m_pLoginTimeout->value();
    options.m_nIconSize = m_pLarge->isChecked() ? 24 : 16;
    options.Write();
    accept();
}

// --- Package tag --------------------------------------------------------------------------

CChangePackageTag::CChangePackageTag(const QString& tag, QWidget* parent)
    : QDialog(parent), m_pTag(new QLineEdit(tag, this))
{
    setWindowTitle("NUV - Change Package Tag");
    auto* layout = new QFormLayout(this);
    m_pTag->setMaxLength(kFieldLength);
    layout->addRow("Package Tag:", m_pTag);
    QDialogButtonBox* box = OkCancel(this);
    connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addRow(box);
}

QString CChangePackageTag::Tag() const { return m_pTag->text(); }

// --- Package alias ------------------------------------------------------------------------

CChangeAlias::CChangeAlias(const QString& alias, QWidget* parent)
    : QDialog(parent), m_pAlias(new QLineEdit(alias, this))
{
    setWindowTitle("NUV - Change Alias");
    auto* layout = new QFormLayout(this);
    m_pAlias->setAccessibleName("New Alias");
    auto* caption = new QLabel("&New Alias:", this);
    caption->setBuddy(m_pAlias);
    layout->addRow(caption, m_pAlias);
    QDialogButtonBox* box = OkCancel(this);
    connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
    // A package always has a name.
    EnableWhileFilled(m_pAlias, box->button(QDialogButtonBox::Ok));
    layout->addRow(box);
    resize(360, sizeHint().height());
}

QString CChangeAlias::Alias() const { return m_pAlias->text().trimmed(); }

// --- About ----------------------------------------------------------------------------------

QUrl CNUVAboutBox::LicenceUrl()
{
    // The program folder, not the current one: the link must work wherever it was started.
    return QUrl::fromLocalFile(QCoreApplication::applicationDirPath() + "/docs/LICENSE.LGPL");
}

QString CNUVAboutBox::VersionText()
{
    return QString::asprintf("v%d.%d.%d%s", kVersionMajor, kVersionMinor, kVersionBuild, "");
}

CNUVAboutBox::CNUVAboutBox(QWidget* parent) : QDialog(parent)
{
    setWindowTitle("NUV - About");
    auto* layout = new QVBoxLayout(this);
    auto* heading = new QLabel("<h2>About NUV</h2>", this);
    layout->addWidget(heading);
    layout->addWidget(new QLabel("Tessom Installation Tool\nCopyright (C) Tessom. All rights reserved.", this));
    auto* version = new QLabel(VersionText(), this);
    version->setAccessibleName("Version");
    layout->addWidget(version);
    layout->addWidget(new QLabel("This program uses Qt " + QString(qVersion()) +
                                     ", licensed under the GNU LGPL version 3.", this));
    auto* licence = new QLabel("<a href=\"" + LicenceUrl().toString() + "\">Licence</a>", this);
    licence->setAccessibleName("Licence");
    licence->setOpenExternalLinks(true);
    layout->addWidget(licence);
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(box);
}
