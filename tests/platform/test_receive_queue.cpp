// SPDX-FileCopyrightText: 2026 Wavemill developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/receive_queue.h"

#include <QtTest>

using wavemill::platform::ReceiveQueue;

namespace {

/// Feeds chunks as a component would, raising events while they are due,
/// with a handler that takes one read each time.
QList<QByteArray> deliver(const QList<int> &chunks, int threshold, int inputLen)
{
    ReceiveQueue queue;
    queue.setThreshold(threshold);
    queue.setInputLen(inputLen);
    QList<QByteArray> blocks;
    char next = 0;
    for (int size : chunks) {
        QByteArray chunk;
        for (int i = 0; i < size; ++i)
            chunk.append(next++);
        queue.append(chunk);
        bool due = queue.eventDue();
        while (due) {
            queue.beginEvent();
            blocks.append(queue.take());
            due = queue.endEvent();
        }
    }
    return blocks;
}

} // namespace

class TestReceiveQueue : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void deliversWholeBlocksInOrder_data();
    void deliversWholeBlocksInOrder();
    void asksAHandlerThatTookNothingOnlyWhenMoreArrives();
    void takesEverythingWithoutAReadLength();
};

void TestReceiveQueue::deliversWholeBlocksInOrder_data()
{
    QTest::addColumn<QList<int>>("chunks");
    QTest::addColumn<int>("blocks");
    QTest::addColumn<int>("left");
    QTest::newRow("exactly one block") << QList<int>{1024} << 1 << 0;
    QTest::newRow("one short") << QList<int>{1023} << 0 << 1023;
    QTest::newRow("three blocks at once") << QList<int>{3072 + 5} << 3 << 5;
    QTest::newRow("dribbled") << QList<int>(2048, 1) << 2 << 0;
    QTest::newRow("odd sizes") << QList<int>{7, 1000, 5000, 1, 3} << 5 << 891;
}

void TestReceiveQueue::deliversWholeBlocksInOrder()
{
    QFETCH(QList<int>, chunks);
    QFETCH(int, blocks);
    QFETCH(int, left);
    const QList<QByteArray> out = deliver(chunks, 1024, 1024);
    QCOMPARE(out.size(), blocks);
    char expected = 0;
    for (const QByteArray &block : out) {
        QCOMPARE(block.size(), 1024);
        for (char c : block)
            QCOMPARE(c, expected++);
    }
    int total = 0;
    for (int c : chunks)
        total += c;
    QCOMPARE(total - 1024 * blocks, left);
}

void TestReceiveQueue::asksAHandlerThatTookNothingOnlyWhenMoreArrives()
{
    ReceiveQueue queue;
    queue.setThreshold(1024);
    queue.setInputLen(1024);
    queue.append(QByteArray(2048, 'a'));
    queue.beginEvent();
    QVERIFY(!queue.endEvent()); // took nothing: no busy loop
    queue.append(QByteArray(1, 'b'));
    QVERIFY(queue.eventDue());
    queue.beginEvent();
    queue.append(QByteArray(1, 'c')); // arrives while the handler runs
    QVERIFY(queue.endEvent());
    QCOMPARE(queue.waiting(), 2050);
}

void TestReceiveQueue::takesEverythingWithoutAReadLength()
{
    ReceiveQueue queue;
    queue.append("abc");
    queue.append("de");
    QCOMPARE(queue.take(), QByteArray("abcde"));
    QCOMPARE(queue.waiting(), 0);
    QVERIFY(!queue.eventDue()); // no threshold, no events
}

QTEST_GUILESS_MAIN(TestReceiveQueue)
#include "test_receive_queue.moc"
