// The string handles and advise links of the data service, without a bus.
#include "common/DdeLinkTable.h"
#include "common/DdeStringTable.h"

#include <gtest/gtest.h>

TEST(DdeStringTable, OneHandlePerNameInAnyLetterCaseKeepingTheFirstSpelling)
{
    DdeStringTable strings;
    const DdeHsz first = strings.Create("Ciśnienie#4660");
    const DdeHsz again = strings.Create("CIŚNIENIE#4660");
    ASSERT_TRUE(first);
    EXPECT_TRUE(first == again);
    EXPECT_EQ(strings.text(again), "Ciśnienie#4660");
    EXPECT_FALSE(strings.Create("Wilgotność#4660") == first);
    EXPECT_FALSE(strings.Create(""));
    EXPECT_EQ(strings.size(), 2);
}

TEST(DdeStringTable, AHandleLivesUntilItsLastReferenceAndIsNeverReused)
{
    DdeStringTable strings;
    const DdeHsz item = strings.Create("Wynik");
    strings.Create("wynik");
    EXPECT_TRUE(strings.AddReference(item));
    strings.Free(item);
    strings.Free(item);
    EXPECT_EQ(strings.text(item), "Wynik");
    strings.Free(item);
    EXPECT_EQ(strings.text(item), "");
    EXPECT_FALSE(strings.AddReference(item)) << "a gone handle must not come back";
    strings.Free(item); // a stale handle is harmless

    const DdeHsz later = strings.Create("wynik");
    EXPECT_FALSE(later == item);
    EXPECT_EQ(strings.text(later), "wynik");
    strings.Clear();
    EXPECT_EQ(strings.size(), 0);
    EXPECT_FALSE(strings.Create("Wynik") == later);
}

class DdeLinkTableTest : public ::testing::Test {
protected:
    // As a call does: the handles it makes for the names end with it.
    bool AddLink(const std::string& client, const char* topic, const char* item)
    {
        const DdeHsz t = strings.Create(topic);
        const DdeHsz i = strings.Create(item);
        const bool added = links.Add({ client, t, i, 1, topic, item });
        strings.Free(t);
        strings.Free(i);
        return added;
    }
    DdeHsz Lookup(const char* name)
    {
        const DdeHsz hsz = strings.Create(name);
        strings.Free(hsz);
        return hsz;
    }

    DdeStringTable strings;
    DdeLinkTable links { strings };
};

TEST_F(DdeLinkTableTest, OneLinkPerClientItemAndFormatHoldingItsHandles)
{
    const DdeHsz topic = strings.Create("Temperatura#4660");
    const DdeHsz item = strings.Create("Pomiar");
    EXPECT_TRUE(links.Add({ ":1.7", topic, item, 1, "temperatura#4660", "POMIAR" }));
    EXPECT_FALSE(links.Add({ ":1.7", topic, item, 1, "Temperatura#4660", "Pomiar" }));
    EXPECT_TRUE(links.Add({ ":1.7", topic, item, 13, "Temperatura#4660", "Pomiar" }));
    EXPECT_TRUE(links.Add({ ":1.8", topic, item, 1, "Temperatura#4660", "Pomiar" }));
    EXPECT_FALSE(links.Add({ ":1.9", DdeHsz { 999 }, item, 1, "x", "Pomiar" }));
    EXPECT_EQ(links.size(), 3);
    // The link keeps the client's spelling for its advises.
    EXPECT_EQ(links.linksTo(topic, item).front().itemText, "POMIAR");

    strings.Free(topic);
    strings.Free(item);
    EXPECT_EQ(strings.text(topic), "Temperatura#4660") << "a link holds its handles";
    EXPECT_TRUE(links.Clear());
    EXPECT_FALSE(links.Clear());
    EXPECT_EQ(strings.size(), 0) << "the links let their handles go";
}

TEST_F(DdeLinkTableTest, EndingLinksOneByOneOrByClient)
{
    ASSERT_TRUE(AddLink(":1.7", "Temperatura#1", "Wynik"));
    ASSERT_TRUE(AddLink(":1.7", "Ciśnienie#1", "Wynik"));
    ASSERT_TRUE(AddLink(":1.8", "Temperatura#1", "Wynik"));
    ASSERT_TRUE(AddLink(":1.8", "Temperatura#1", "Status"));
    const DdeHsz topic = Lookup("TEMPERATURA#1");
    const DdeHsz result = Lookup("wynik");

    EXPECT_FALSE(links.Remove(":1.7", topic, result, 13));
    EXPECT_TRUE(links.Remove(":1.7", topic, result, 1));
    EXPECT_FALSE(links.Remove(":1.7", topic, result, 1));
    EXPECT_TRUE(links.hasClient(":1.7"));

    EXPECT_TRUE(links.RemoveClient(":1.7"));
    EXPECT_FALSE(links.hasClient(":1.7"));
    EXPECT_FALSE(links.RemoveClient(":1.7"));
    ASSERT_EQ(links.size(), 2);
    ASSERT_EQ(links.linksTo(topic, result).size(), 1u);
    EXPECT_EQ(links.linksTo(topic, result).front().client, ":1.8");
    EXPECT_EQ(strings.size(), 3) << "the last link to a topic lets its handle go";
}
