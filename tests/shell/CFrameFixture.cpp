#include "CFrameFixture.h"

#include <functional>

#include <QAction>
#include <QTest>

#include "shell/CFormTree.h"

namespace torvex::test {

void CFrameFixture::SetUpFrame() {
    m_dir = std::make_unique<TempDir>();
    m_work = m_dir->Str();
    qputenv("TORVEX_HOME", QByteArray::fromStdString(m_work));
    m_settings = CAppSettings();
    m_settings.DefaultDir = m_work + "/MyWebsites";
    m_prompter = CScriptedPrompter();
}

void CFrameFixture::TearDownFrame() {
    m_watchers.clear();
    if (m_frame) {
        m_frame->Runs().StopAll();
        WaitIdle();
        m_frame.reset();
    }
    m_dir.reset();
}

CProjectSettings CFrameFixture::Project(const std::string& name, const std::string& address) {
    CProjectSettings project = ProjectIn(m_work + "/sites/" + name, {address});
    project.Name = name;
    project.Level = 2;
    return project;
}

void CFrameFixture::WriteTree(const std::vector<CProjectSettings>& projects) {
    CProjectTree tree(m_work + "/Torvex.dir", m_settings.DefaultDir);
    QVERIFY(tree.LoadTree());
    CTreeNode* sites = tree.AddFolder(tree.Root(), "Sites");
    tree.AddFolder(tree.Root(), "Empty");
    for (const CProjectSettings& project : projects) {
        tree.AddProject(*sites, std::make_unique<CProjectSettings>(project));
    }
    tree.Root().kind = NodeKind::RootExpanded;
    sites->kind = NodeKind::FolderExpanded;
    QVERIFY(tree.SaveTree(true));
}

void CFrameFixture::OpenFrame(IRunPipeline* pipeline) {
    CFrameOptions options;
    options.workDir = m_work;
    options.prompter = &m_prompter;
    options.desktop = &FrameDesktop();
    options.pipeline = pipeline;
    m_frame = std::make_unique<CMainFrame>(m_settings, options);
    m_frame->resize(1100, 640);
    QVERIFY(m_frame->LoadTree());
    m_frame->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_frame.get()));
    QTRY_VERIFY(m_frame->FormTree()->SelectedNode() != nullptr);
}

CTreeNode* CFrameFixture::Node(const std::string& label) {
    std::function<CTreeNode*(CTreeNode&)> find = [&](CTreeNode& node) -> CTreeNode* {
        if (node.label == label) {
            return &node;
        }
        for (auto& child : node.children) {
            if (CTreeNode* found = find(*child)) {
                return found;
            }
        }
        return nullptr;
    };
    return find(m_frame->ProjectTree().Root());
}

void CFrameFixture::Select(const std::string& label) {
    CTreeNode* node = Node(label);
    QVERIFY(node);
    m_frame->FormTree()->Select(node);
    QCOMPARE(m_frame->FormTree()->SelectedNode(), node);
}

void CFrameFixture::Trigger(const char* action) {
    QAction* command = m_frame->Action(QString::fromLatin1(action));
    QVERIFY(command);
    QVERIFY2(command->isEnabled(), action);
    command->trigger();
}

void CFrameFixture::WaitIdle() {
    QTRY_VERIFY_WITH_TIMEOUT(
        m_frame->Tasks().RunningCount() == 0 && m_frame->Tasks().WaitingCount() == 0, kWaitMs);
}

} // namespace torvex::test
