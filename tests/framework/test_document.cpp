#include "framework/Document.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace {
struct CountingView : CView {
    int updates = 0;
    void OnUpdate(CView*, std::intptr_t, void*) override { ++updates; }
};

// A document whose content is one text, loaded and stored by Serialize.
struct TextDoc : CDocument {
    std::string text;
    int deletes = 0;
    void DeleteContents() override
    {
        ++deletes;
        text.clear();
    }
    void Serialize(CArchive& ar) override
    {
        if (ar.IsStoring()) {
            ar.Write(text.data(), text.size());
        } else {
            char buf[64];
            std::size_t n;
            while ((n = ar.Read(buf, sizeof buf)) > 0)
                text.append(buf, n);
        }
    }
};
} // namespace

TEST(Document, UpdateAllViewsSkipsTheSender)
{
    TextDoc doc;
    CountingView a, b;
    doc.AddView(&a);
    doc.AddView(&b);
    doc.AddView(&a); // once only
    doc.UpdateAllViews(&a);
    EXPECT_EQ(a.updates, 0);
    EXPECT_EQ(b.updates, 1);
    doc.UpdateAllViews(nullptr);
    EXPECT_EQ(a.updates, 1);
    doc.RemoveView(&b);
    doc.UpdateAllViews(nullptr);
    EXPECT_EQ(b.updates, 2);
}

TEST(Document, NewOpenAndSaveFollowTheFrameworkSteps)
{
    CTempDir dir;
    TextDoc doc;
    doc.SetPathName(dir / "a.txt");
    EXPECT_EQ(doc.GetTitle(), "a.txt");
    doc.SetModifiedFlag();
    ASSERT_TRUE(doc.OnNewDocument());
    EXPECT_EQ(doc.GetPathName(), "");
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(doc.deletes, 1);

    doc.text = "hello";
    doc.SetModifiedFlag();
    ASSERT_TRUE(doc.OnSaveDocument(dir / "a.txt"));
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(ReadAll(dir / "a.txt"), Bytes({'h', 'e', 'l', 'l', 'o'}));

    doc.SetModifiedFlag();
    ASSERT_TRUE(doc.OnOpenDocument(dir / "a.txt"));
    EXPECT_EQ(doc.text, "hello");
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(dir.List(), std::vector<std::string>{"a.txt"});
}

TEST(Document, FailuresSayWhyAndChangeNothing)
{
    CTempDir dir;
    TextDoc doc;
    doc.text = "keep";
    doc.SetModifiedFlag();
    EXPECT_FALSE(doc.OnOpenDocument(dir / "missing.txt"));
    EXPECT_EQ(doc.GetError(), FileReason(EReason::FileOpen, dir / "missing.txt", ENOENT));
    EXPECT_EQ(doc.text, "keep");
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(doc.deletes, 0);

    EXPECT_FALSE(doc.OnSaveDocument(dir / "no/such/folder.txt"));
    EXPECT_TRUE(doc.IsModified());
}
