#pragma once

#include <QMenu>
#include <QTreeWidget>
#include <QTreeWidgetItem>

class CComponent;
class CComponentHolder;
class CComponentManager;
class QActionGroup;

/// The "&Actions" menu of the component tree (menu bar and context menu).
class CComponentTreeViewMenu : public QMenu {
    Q_OBJECT
public:
    explicit CComponentTreeViewMenu(QWidget* parent = nullptr);

    QAction* m_pInstall;
    QAction* m_pDownload;
    QAction* m_pUninstall;
    QAction* m_pDelete;
    QAction* m_pCap;
    QAction* m_pUncap;
    QAction* m_pExclude;
    QAction* m_pInclude;
    QAction* m_pSetVersion;
    QAction* m_pRollback;
    QAction* m_pViewReleaseNote;

Q_SIGNALS:
    void SetInstall();
    void SetDownload();
    void SetUninstall();
    void SetDelete();
    void SetCap();
    void SetUncap();
    void SetExcluded();
    void SetIncluded();
    void SetVersion();
    void SetRollback();
    void SetViewReleaseNote();

private:
    QAction* Add(const char* text, const char* tip, void (CComponentTreeViewMenu::*signal)());
};

/// The View menu's five component views (0 standard ... 4 capped), one checked at a time.
class CNUVViewMenu : public QMenu {
    Q_OBJECT
public:
    explicit CNUVViewMenu(const QString& title, QWidget* parent = nullptr);
    /// Back to "Standard View" without announcing it.
    void Reset();
    QAction* ViewAction(int view) const { return m_Views[view]; }

Q_SIGNALS:
    void ChangeView(int view);

public Q_SLOTS:
    void SLOTStandard() { Choose(0); }
    void SLOTInstalled() { Choose(1); }
    void SLOTDownloaded() { Choose(2); }
    void SLOTNew() { Choose(3); }
    void SLOTCapped() { Choose(4); }

private:
    void Choose(int view);
    QAction* m_Views[5];
};

/// A group (top group or sub-group from the group text) or a component of the tree.
class CComponentTreeViewItem : public QTreeWidgetItem {
public:
    enum { GroupNone = -1, GroupExcluded = 0, GroupIncluded = 1 };
    /// A top group of the given type.
    CComponentTreeViewItem(QTreeWidget* tree, const QString& caption, int groupType);
    /// A sub-group (holder null) or a component below parent.
    CComponentTreeViewItem(QTreeWidgetItem* parent, const QString& caption, CComponentHolder* holder);

    CComponentHolder* Holder() const { return m_pHolder; }
    bool IsGroup() const { return m_pHolder == nullptr; }
    bool IsTopGroup() const { return m_GroupType != GroupNone; }
    int GroupType() const { return m_GroupType; }
    /// Shows the holder's name, versions and description.
    void Refresh();

private:
    CComponentHolder* m_pHolder = nullptr;   // not owned; lives with the open catalogue
    int m_GroupType = GroupNone;
};

/// The components of the open package, filtered by view; marks components for the actions.
class CComponentTreeView : public QTreeWidget {
    Q_OBJECT
public:
    explicit CComponentTreeView(QWidget* parent = nullptr);

    CComponentTreeViewMenu* Menu() const { return m_pMenu; }
    int View() const { return m_View; }
    /// Fills the tree from the current distribution's catalogue in the current view.
    void FillView();
    /// Empties the tree (no package open).
    void ClearView();
    /// Shows every component item's columns afresh.
    void RefreshColumns();
    /// Enables, disables, shows and hides the actions for item (null: nothing selected).
    void UpdateMenuState(QTreeWidgetItem* item);
    /// The top group of this type.
    CComponentTreeViewItem* TopGroup(int groupType) const;
    /// The component item of the holder with this name, or null.
    CComponentTreeViewItem* FindComponentItem(const QString& name) const;

Q_SIGNALS:
    void StartAction();
    void EmitText(QString Text);
    void ForceReleaseNoteDownload(CComponent* pCmpnt);
    void RefreshComponentInfo();

public Q_SLOTS:
    void SLOTDownloadMenu();
    void SLOTInstallMenu();
    void SLOTUninstallMenu();
    void SLOTDeleteMenu();
    void SLOTCapMenu();
    void SLOTUncapMenu();
    void SLOTExcludeMenu();
    void SLOTIncludeMenu();
    void SLOTSetVersionMenu();
    void SLOTSetRollbackMenu();
    void SLOTItemExpanded(QTreeWidgetItem* pItem);
    void SLOTItemCollapsed(QTreeWidgetItem* pItem);
    void SLOTChangeView(int newView);
    void SLOTDisplayReleaseNote();

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    CComponentTreeViewItem* Current() const;
    CComponentTreeViewItem* AddComponentItem(int groupType, CComponentHolder* holder);
    bool IsShown(const CComponentHolder& holder) const;
    /// Sets mark on every component item at or below item.
    void MarkItems(CComponentTreeViewItem* item, int mark);
    int SetItemAction(CComponentTreeViewItem* item, int mark);
    /// Component items at or below item, depth first.
    QList<CComponentTreeViewItem*> ComponentItems(QTreeWidgetItem* item) const;
    /// Moves the component items at or below the current item into the other top group.
    void MoveCurrentTo(int groupType);
    void RemoveEmptySubGroups(QTreeWidgetItem* group);
    void ResizeColumns();
    void WriteStates(bool installedToo);
    void Say(const QString& text) { Q_EMIT EmitText(text); }

    CComponentTreeViewMenu* m_pMenu;
    int m_View = 0;
};

/// The current distribution's catalogue, or null.
CComponentManager* CurrentManager();
