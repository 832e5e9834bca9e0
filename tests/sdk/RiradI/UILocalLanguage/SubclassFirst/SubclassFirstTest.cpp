// UFLocalLanguageController makes the shared instance here, after launch, with a selection
// stored by an earlier run.
#include <UILocalLanguage/UILocalLanguageController.h>

#include <CocoaFoundation/PersistentKeyPaths.h>
#include <CocoaFoundation/UPersistentObjectsController.h>

#include <dispatch/dispatch.h>

#include <gtest/gtest.h>

namespace {

TEST(UILocalLanguageSubclassFirst, PersistsUnderTheInstanceKeyAndRestoresAfterLaunch) {
    ASSERT_EQ(UNibSingleton::sharedInstanceForKey("UILocalLanguageController"), nullptr);
    ASSERT_TRUE(PersistentKeyPaths::savePersistentObjectData(
        {{"persistentSettings", QVariantMap{{"first.title", "Erster"}}}}, "UILocalLanguageController"));
    UPersistentObjectsController::sharedPersistentObjectsController()->setWasLaunched(true);

    auto *made = qobject_cast<UFLocalLanguageController *>(UNibSingleton::allocInit<UFLocalLanguageController>());
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(UILocalLanguageController::language(), made);
    EXPECT_EQ(made->persistenceObjectKey(), "UILocalLanguageController");

    // Registered after launch: restored on the main queue.
    EXPECT_TRUE(made->current().isEmpty());
    EXPECT_EQ(dispatch_main_queue_drain(), 1);
    EXPECT_EQ(UILocalLanguageController::stringWithID("first.title"), "Erster");

    made->setSettingsDictionary({{"first.title", "Premier"}});
    UPersistentObjectsController::sharedPersistentObjectsController()->unregisterPersistentObject(made);
    EXPECT_EQ(PersistentKeyPaths::loadPersistentObjectDataForKey("UILocalLanguageController"),
              (QVariantMap{{"persistentSettings", QVariantMap{{"first.title", "Premier"}}}}));
    EXPECT_TRUE(PersistentKeyPaths::loadPersistentObjectDataForKey("UFLocalLanguageController").isEmpty());
}

}  // namespace
