#include <QImage>
#include <QTest>

// The pictures the controls are drawn from: the sizes they are cut and stretched by, and the
// magenta corner pixels that only the two curved caption bars carry.
class TestArtwork : public QObject {
    Q_OBJECT

  private slots:
    void sizes_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QSize>("size");
        QTest::newRow("faces") << ":/buttons/xpcmdbutton.png" << QSize(90, 21);
        for (const char* b : {"close", "maximize", "minimize", "restore"})
            QTest::newRow(b) << QStringLiteral(":/buttons/%1.png").arg(QLatin1String(b))
                             << QSize(84, 21);
        for (int set : {1, 2}) {
            const QString s = QString::number(set);
            QTest::newRow(qPrintable("top" + s)) << ":/skin/top" + s + ".png" << QSize(66, 29);
            QTest::newRow(qPrintable("topmax" + s))
                << ":/skin/topmax" + s + ".png" << QSize(66, 29);
            QTest::newRow(qPrintable("left" + s)) << ":/skin/left" + s + ".png" << QSize(5, 31);
            QTest::newRow(qPrintable("right" + s)) << ":/skin/right" + s + ".png" << QSize(5, 31);
            QTest::newRow(qPrintable("bottom" + s)) << ":/skin/bottom" + s + ".png" << QSize(49, 5);
        }
        QTest::newRow("default icon") << ":/icons/default.png" << QSize(16, 16);
        QTest::newRow("app16") << ":/icons/app16.png" << QSize(16, 16);
        QTest::newRow("app32") << ":/icons/app32.png" << QSize(32, 32);
        for (const char* t : {"root", "category", "selected", "recipe"})
            QTest::newRow(t) << QStringLiteral(":/tree/%1.png").arg(QLatin1String(t))
                             << QSize(16, 16);
    }
    void sizes() {
        QFETCH(QString, path);
        QFETCH(QSize, size);
        QCOMPARE(QImage(path).size(), size);
    }

    void magentaOnlyInTheCurvedCorners() {
        const QList<QPoint> left = {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}, {0, 1},
                                    {1, 1}, {2, 1}, {0, 2}, {1, 2}, {0, 3}, {0, 4}};
        const QColor magenta(255, 0, 255);
        for (int set : {1, 2}) {
            for (const char* name : {"top", "topmax", "left", "right", "bottom"}) {
                const QImage img(
                    QStringLiteral(":/skin/%1%2.png").arg(QLatin1String(name)).arg(set));
                QSet<QPair<int, int>> found;
                for (int y = 0; y < img.height(); ++y)
                    for (int x = 0; x < img.width(); ++x)
                        if (img.pixelColor(x, y) == magenta)
                            found.insert({x, y});
                QSet<QPair<int, int>> expected;
                if (QByteArray(name) == "top")
                    for (const QPoint& p : left) {
                        expected.insert({p.x(), p.y()});
                        expected.insert({65 - p.x(), p.y()});
                    }
                QCOMPARE(found, expected);
            }
        }
    }
};

QTEST_MAIN(TestArtwork)
#include "test_artwork.moc"
