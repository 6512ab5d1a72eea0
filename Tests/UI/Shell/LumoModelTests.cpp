// The document and the observable model: who is told, in which order, and what happens when
// observers come and go during a notification.

#include "UiTest.h"

#include "Shell/LumoDocument.h"
#include "Shell/LumoModel.h"

#include <QFile>
#include <QTemporaryDir>

#include <functional>
#include <memory>

namespace lumo::ui::testing {
namespace {

// Writes every notification it receives into a shared log as "name:type/field".
class Recorder : public LumoModelObserver {
public:
    Recorder(QString name, QStringList& log) : m_name(std::move(name)), m_log(log) {}

    void ModelChanged(DataType type, const QUuid& /*id*/, FieldType field) override
    {
        m_log.append(QString("%1:%2/%3").arg(m_name).arg(type).arg(field));
        if (onChange)
            onChange(type, field);
    }

    std::function<void(DataType, FieldType)> onChange;

private:
    QString m_name;
    QStringList& m_log;
};

class LumoModelTest : public UiTest {
protected:
    void Notify(DataType type, FieldType field) { model->NotifyObservers(type, model->GetDocument()->Id(), field); }

    LumoModelPtr model = std::make_shared<LumoModel>(App().GetDocument());
    QStringList log;
};

TEST_F(LumoModelTest, ObserversReceiveTheDataTypesTheySubscribedTo)
{
    struct Subscription {
        const char* name;
        QSet<DataType> types;
    };
    const std::vector<Subscription> subscriptions = {
        {"all", {}},
        {"project", {DataTypeProject}},
        {"interface", {DataTypeInterface}},
        {"canvas", {DataTypeCanvas}},
        {"project+canvas", {DataTypeProject, DataTypeCanvas}},
    };
    std::vector<std::unique_ptr<Recorder>> observers;
    for (const Subscription& subscription : subscriptions) {
        observers.push_back(std::make_unique<Recorder>(subscription.name, log));
        observers.back()->SetModel(model, subscription.types);
    }

    Notify(DataTypeProject, FieldTypeRefreshAll);
    EXPECT_EQ(log, QStringList({"all:0/1", "project:0/1", "project+canvas:0/1"}));
    log.clear();
    Notify(DataTypeInterface, FieldTypeCurrentToolset);
    EXPECT_EQ(log, QStringList({"all:1/9", "interface:1/9"}));
    log.clear();
    Notify(DataTypeCanvas, FieldTypeFocusCanvas);
    EXPECT_EQ(log, QStringList({"all:2/15", "canvas:2/15", "project+canvas:2/15"}));
}

TEST_F(LumoModelTest, ObserversAreCalledInAttachOrderAndKeepTheirFirstSubscription)
{
    Recorder a("a", log), b("b", log), c("c", log);
    a.SetModel(model, {DataTypeCanvas});
    c.SetModel(model, {});
    b.SetModel(model, {});
    // Attaching again neither moves an observer nor changes what it receives.
    model->AttachObserver(&a, {DataTypeProject});
    a.SetModel(model, {DataTypeProject});
    EXPECT_FALSE(model->IsSubscribed(&a, DataTypeProject));

    Notify(DataTypeCanvas, FieldTypeCanvasScale);
    EXPECT_EQ(log, QStringList({"a:2/16", "c:2/16", "b:2/16"}));

    // Moving to another model leaves the first one.
    const auto other = std::make_shared<LumoModel>(App().GetDocument());
    c.SetModel(other, {});
    log.clear();
    Notify(DataTypeCanvas, FieldTypeCanvasScale);
    EXPECT_EQ(log, QStringList({"a:2/16", "b:2/16"}));
}

TEST_F(LumoModelTest, ChangesToTheListDuringAPassTakeEffectInTheNextPass)
{
    Recorder a("a", log), b("b", log), late("late", log);
    a.SetModel(model, {});
    b.SetModel(model, {});
    a.onChange = [&](DataType, FieldType) {
        model->DetachObserver(&b);
        late.SetModel(model, {});
    };

    Notify(DataTypeProject, FieldTypeImageAdded);
    EXPECT_EQ(log, QStringList({"a:0/2", "b:0/2"}));
    log.clear();
    a.onChange = nullptr;
    Notify(DataTypeProject, FieldTypeImageAdded);
    EXPECT_EQ(log, QStringList({"a:0/2", "late:0/2"}));
}

TEST_F(LumoModelTest, ANotificationSentFromAnObserverRunsToItsEndInsideTheOuterOne)
{
    // As the toolset bar does: it answers a toolset-state change with a canvas focus.
    Recorder bar("bar", log), scene("scene", log);
    bar.SetModel(model, {DataTypeInterface, DataTypeCanvas});
    scene.SetModel(model, {});
    bar.onChange = [&](DataType type, FieldType field) {
        if (type == DataTypeInterface && field == FieldTypeToolsetState)
            Notify(DataTypeCanvas, FieldTypeFocusCanvas);
    };

    Notify(DataTypeInterface, FieldTypeToolsetState);
    EXPECT_EQ(log, QStringList({"bar:1/10", "bar:2/15", "scene:2/15", "scene:1/10"}));
}

TEST_F(LumoModelTest, AnObserverDestroyedBeforeTheModelIsDetached)
{
    auto gone = std::make_unique<Recorder>("gone", log);
    Recorder stays("stays", log);
    gone->SetModel(model, {});
    stays.SetModel(model, {});
    gone.reset();
    EXPECT_EQ(model->Observers(), QList<LumoModelObserver*>({&stays}));
    Notify(DataTypeProject, FieldTypeRefreshAll);
    EXPECT_EQ(log, QStringList({"stays:0/1"}));

    // Destroyed by an observer before it in the same pass, it is not called any more.
    auto victim = std::make_unique<Recorder>("victim", log);
    victim->SetModel(model, {});
    Recorder after("after", log);
    after.SetModel(model, {});
    stays.onChange = [&](DataType, FieldType) { victim.reset(); };
    log.clear();
    Notify(DataTypeProject, FieldTypeRefreshAll);
    EXPECT_EQ(log, QStringList({"stays:0/1", "after:0/1"}));
}

TEST_F(LumoModelTest, TheDocumentRemovesItsTemporaryFilesOnceAndWhenItGoes)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const auto touch = [&](const QString& name) {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        return file.fileName();
    };
    auto document = std::make_unique<LumoDocument>();
    EXPECT_FALSE(document->Id().isNull());
    const QString print = touch("print.png");
    document->AddTemporaryFile(print);
    document->AddTemporaryFile(dir.filePath("already-gone.png"));
    document->RemoveTemporaryFiles();
    EXPECT_FALSE(QFile::exists(print));
    EXPECT_TRUE(document->TemporaryFiles().isEmpty());
    // Files made later go with the document.
    const QString later = touch("later.png");
    document->AddTemporaryFile(later);
    document.reset();
    EXPECT_FALSE(QFile::exists(later));
}

} // namespace
} // namespace lumo::ui::testing
