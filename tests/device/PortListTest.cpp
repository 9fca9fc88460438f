#include "device/PortList.h"

#include <gtest/gtest.h>

TEST(PortList, BuiltInAndUsbAdapterInPortOrder)
{
    PortList list;
    list.Add(5, "USB Serial Port (COM5)");
    list.Add(1, "Communications Port");
    unsigned count = 0;
    EXPECT_EQ(list.Text(count), "COM1:Communications Port\nCOM5:USB Serial Port\n");
    EXPECT_EQ(count, 2u);
}

TEST(PortList, PortsWithoutDescriptionAndTheEnds)
{
    PortList list;
    list.Add(256);
    list.Add(1);
    list.Add(0); // out of range: ignored
    list.Add(257); // likewise
    list.Add(12, "");
    unsigned count = 0;
    EXPECT_EQ(list.Text(count), "COM1\nCOM12\nCOM256\n");
    EXPECT_EQ(count, 3u);
}

TEST(PortList, DescriptionReplacedButNotLostByPlainAdd)
{
    PortList list;
    list.Add(3, "first");
    list.Add(3, "second");
    list.Add(3);
    unsigned count = 0;
    EXPECT_EQ(list.Text(count), "COM3:second\n");
    list.Add(3, std::string(400, 'x'));
    EXPECT_EQ(list.Text(count), "COM3:" + std::string(PortList::kMaxDescription, 'x') + "\n");
}

TEST(PortList, LongDescriptionIsCutBetweenCharacters)
{
    PortList list;
    unsigned count = 0;
    // "ń" is two bytes, "€" three: the limit falls inside each in turn.
    for (const std::string tail : { "\xC5\x84", "\xE2\x82\xAC" }) {
        const std::string head(PortList::kMaxDescription - 1, 'x');
        list.Add(3, head + tail + "tail");
        EXPECT_EQ(list.Text(count), "COM3:" + head + "\n");
    }
    const std::string fits(PortList::kMaxDescription - 2, 'x');
    list.Add(3, fits + "\xC5\x84" + "x");
    EXPECT_EQ(list.Text(count), "COM3:" + fits + "\xC5\x84\n");
}

TEST(PortList, PortSuffixIsCutOnlyWhenItEndsTheText)
{
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        { "USB Serial Port (COM5)", "USB Serial Port" },
        { "Modem (COM3) spare", "Modem (COM3) spare" },
        { "Modem (COM)", "Modem (COM)" },
        { "Modem (COMx)", "Modem (COMx)" },
        { "Modem (COM12", "Modem (COM12" },
        { "A (COM1) (COM2)", "A (COM1) (COM2)" }, // the first " (COM" decides
        { " (COM9)", "" },
        { "plain", "plain" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(PortList::CutPortSuffix(c.in), c.out) << c.in;
}
