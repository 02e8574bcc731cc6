// The sheet laid out: its blocks, placed down the pages.

#include "cli/draw/sheet.h"

#include <map>

#include "model/catalogue.h"

namespace {

constexpr double kGap = 8;           // between boxes and sections
constexpr double kSectionTitle = 16; // a page's name above its groups
constexpr double kGroupTitle = 13;
constexpr double kRow = 11;      // one caption and value
constexpr double kTableRow = 12; // one row of the BASIC table
constexpr double kFooter = 14;   // page number at the bottom
constexpr int kGroupColumns = 4; // group boxes per row

const double kBoxWidth = (kSheetWidth - (kGroupColumns - 1) * kGap) / kGroupColumns;

void addText(SheetPage &p, SheetText::Style style, const QRectF &r, const QString &text, int align,
             const QString &key = QString())
{
    p.texts.push_back({style, r, text, align, key});
}

// A block laid out from y = 0, placed later where it fits.
struct Block {
    SheetPage page;
    double height = 0;
};

void place(SheetPage &dst, const SheetPage &src, double dy)
{
    for (SheetText t : src.texts) {
        t.rect.translate(0, dy);
        dst.texts.push_back(t);
    }
    for (QRectF r : src.boxes)
        dst.boxes.push_back(r.translated(0, dy));
    for (QRectF r : src.shades)
        dst.shades.push_back(r.translated(0, dy));
    for (QLineF l : src.rules)
        dst.rules.push_back(l.translated(0, dy));
    for (SheetCurve c : src.curves) {
        c.rect.translate(0, dy);
        dst.curves.push_back(c);
    }
}

// The catalogue's rows of one page, group by group in the window's order.
std::vector<std::pair<QString, std::vector<const SettingInfo *>>> groupsOf(const QString &page)
{
    std::vector<std::pair<QString, std::vector<const SettingInfo *>>> groups;
    for (const SettingInfo &info : settingsCatalogue()) {
        if (info.page != page)
            continue;
        if (groups.empty() || groups.back().first != info.group)
            groups.push_back({info.group, {}});
        groups.back().second.push_back(&info);
    }
    return groups;
}

QStringList pagesInOrder()
{
    QStringList pages;
    for (const SettingInfo &info : settingsCatalogue())
        if (!pages.contains(info.page))
            pages << info.page;
    return pages;
}

Block sectionTitle(const QString &title)
{
    Block b;
    addText(b.page, SheetText::PageTitle, QRectF(0, 0, kSheetWidth, kSectionTitle - 3), title,
            Qt::AlignLeft | Qt::AlignVCenter);
    b.page.rules.push_back(QLineF(0, kSectionTitle - 2, kSheetWidth, kSectionTitle - 2));
    b.height = kSectionTitle;
    return b;
}

// A row of the sheet that is no setting (the transmitter's version).
struct ExtraRow {
    QString group, caption, value;
};

// The groups of a page as framed boxes, four to a row: a title band, then
// caption and value per setting.
Block groupBoxes(const TxSettingsRecord &s, const QString &page, const std::vector<ExtraRow> &extra)
{
    Block b = sectionTitle(page);
    const auto groups = groupsOf(page);
    double rowTop = b.height, rowHeight = 0;
    for (size_t g = 0; g < groups.size(); ++g) {
        const int column = int(g % kGroupColumns);
        if (column == 0 && g > 0) {
            rowTop += rowHeight + kGap;
            rowHeight = 0;
        }
        const double x = column * (kBoxWidth + kGap);
        std::vector<std::pair<QString, std::pair<QString, QString>>> rows; // caption, value, key
        for (const SettingInfo *info : groups[g].second)
            rows.push_back({info->caption, {settingValueText(*info, s), info->key}});
        for (const ExtraRow &e : extra)
            if (e.group == groups[g].first)
                rows.push_back({e.caption, {e.value, QString()}});
        const double h = kGroupTitle + rows.size() * kRow + 3;
        b.page.boxes.push_back(QRectF(x, rowTop, kBoxWidth, h));
        b.page.shades.push_back(QRectF(x, rowTop, kBoxWidth, kGroupTitle));
        addText(b.page, SheetText::GroupTitle, QRectF(x + 4, rowTop, kBoxWidth - 8, kGroupTitle),
                groups[g].first, Qt::AlignLeft | Qt::AlignVCenter);
        double y = rowTop + kGroupTitle + 1;
        for (const auto &row : rows) {
            addText(b.page, SheetText::Caption, QRectF(x + 4, y, kBoxWidth * 0.62, kRow), row.first,
                    Qt::AlignLeft | Qt::AlignVCenter);
            addText(b.page, row.second.second.isEmpty() ? SheetText::Fixed : SheetText::Value,
                    QRectF(x + kBoxWidth * 0.55, y, kBoxWidth * 0.45 - 5, kRow), row.second.first,
                    Qt::AlignRight | Qt::AlignVCenter, row.second.second);
            y += kRow;
        }
        rowHeight = std::max(rowHeight, h);
    }
    b.height = rowTop + rowHeight + kGap;
    return b;
}

// BASIC as the window shows it: a row per channel, a column per group (the
// end points in two, L and R).
Block basicTable(const TxSettingsRecord &s, const QString &page)
{
    Block b = sectionTitle(page);
    struct Column {
        QString group, sub;
    };
    std::vector<Column> columns;
    std::map<std::pair<int, int>, const SettingInfo *> cells; // (row, column)
    for (const auto &group : groupsOf(page)) {
        for (const SettingInfo *info : group.second) {
            // "CH3:" or "CH3: L": the channel's row, then the column within the group.
            const QString channel = info->caption.section(' ', 0, 0);
            const QString sub = info->caption.section(' ', 1);
            int column = -1;
            for (size_t c = 0; c < columns.size(); ++c)
                if (columns[c].group == group.first && columns[c].sub == sub)
                    column = int(c);
            if (column < 0) {
                columns.push_back({group.first, sub});
                column = int(columns.size()) - 1;
            }
            cells[{QString(channel).remove(':').mid(2).toInt(), column}] = info;
        }
    }
    const double labelWidth = 44;
    const double w = (kSheetWidth - labelWidth) / columns.size();
    const double top = b.height;
    // Header: group titles over their columns, L and R beneath.
    b.page.shades.push_back(QRectF(0, top, kSheetWidth, 2 * kTableRow));
    addText(b.page, SheetText::Header, QRectF(2, top, labelWidth - 2, 2 * kTableRow), "CHANNEL",
            Qt::AlignLeft | Qt::AlignVCenter);
    for (size_t c = 0; c < columns.size(); ++c) {
        size_t span = 1;
        if (c > 0 && columns[c - 1].group == columns[c].group)
            continue;
        while (c + span < columns.size() && columns[c + span].group == columns[c].group)
            ++span;
        const double x = labelWidth + c * w;
        const bool split = span > 1;
        addText(b.page, SheetText::Header, QRectF(x, top, span * w, split ? kTableRow : 2 * kTableRow),
                columns[c].group, Qt::AlignCenter);
        if (split)
            for (size_t k = 0; k < span; ++k)
                addText(b.page, SheetText::Header, QRectF(x + k * w, top + kTableRow, w, kTableRow),
                        columns[c + k].sub, Qt::AlignCenter);
    }
    for (int ch = 1; ch <= 8; ++ch) {
        const double y = top + (ch + 1) * kTableRow;
        if (ch % 2 == 0)
            b.page.shades.push_back(QRectF(0, y, kSheetWidth, kTableRow));
        addText(b.page, SheetText::Caption, QRectF(2, y, labelWidth - 2, kTableRow), QString("CH%1:").arg(ch),
                Qt::AlignLeft | Qt::AlignVCenter);
        for (size_t c = 0; c < columns.size(); ++c) {
            const QRectF r(labelWidth + c * w, y, w, kTableRow);
            auto it = cells.find({ch, int(c)});
            if (it != cells.end())
                addText(b.page, SheetText::Value, r, settingValueText(*it->second, s), Qt::AlignCenter,
                        it->second->key);
            else if (columns[c].group == "AUX-CH")
                addText(b.page, SheetText::Fixed, r, "NC", Qt::AlignCenter); // the window's fixed choice
        }
    }
    const double bottom = top + 10 * kTableRow;
    b.page.boxes.push_back(QRectF(0, top, kSheetWidth, bottom - top));
    for (size_t c = 0; c <= columns.size(); ++c)
        if (c == 0 || c == columns.size() || columns[c - 1].group != columns[c].group)
            b.page.rules.push_back(QLineF(labelWidth + c * w, top, labelWidth + c * w, bottom));
    b.height = bottom - 0 + kGap;
    return b;
}

int valueOf(const TxSettingsRecord &s, const QString &key)
{
    return settingValue(*findSetting(key), s);
}

// The curves: the throttle curve, and the D/R curve of every channel at UP and
// at DOWN, with the geometry of the window's plots.
Block curves(const TxSettingsRecord &s)
{
    Block b = sectionTitle("CURVES");
    const double top = b.height;
    // Throttle curve: left, large; its points beside it.
    const double plot = 230;
    addText(b.page, SheetText::GroupTitle, QRectF(0, top, plot, kGroupTitle), "ADVANCE2 / TH CURE",
            Qt::AlignLeft | Qt::AlignVCenter);
    SheetCurve th{SheetCurve::Throttle, QRectF(0, top + kGroupTitle + 2, plot, plot), 300, "TH CURE", {}, {}};
    int points[7];
    for (int k = 0; k < 7; ++k)
        points[k] = valueOf(s, QString("advance2.thCure.point%1").arg(k + 1));
    th.throttle = throttlePoints(points, th.size, th.size);
    b.page.curves.push_back(th);
    double y = top + kGroupTitle + 8;
    const double listX = plot + 16;
    const SettingInfo *mix = findSetting("advance2.thCure.mix");
    addText(b.page, SheetText::Caption, QRectF(listX, y, 70, kRow), "MIX:", Qt::AlignLeft | Qt::AlignVCenter);
    addText(b.page, SheetText::Fixed, QRectF(listX + 70, y, 50, kRow), settingValueText(*mix, s),
            Qt::AlignRight | Qt::AlignVCenter);
    for (int k = 0; k < 7; ++k) {
        y += kRow;
        addText(b.page, SheetText::Caption, QRectF(listX, y, 70, kRow), QString("POINT%1:").arg(k + 1),
                Qt::AlignLeft | Qt::AlignVCenter);
        addText(b.page, SheetText::Fixed, QRectF(listX + 70, y, 50, kRow), QString("%1 %").arg(points[k]),
                Qt::AlignRight | Qt::AlignVCenter);
    }

    // D/R: a column per channel, UP above DOWN.
    const double drTop = top + kGroupTitle + plot + 2 * kGap;
    addText(b.page, SheetText::GroupTitle, QRectF(0, drTop, kSheetWidth, kGroupTitle),
            "ADVANCE2 / D/R CURE (D/R " + settingValueText(*findSetting("advance1.dr.mix"), s) + ")",
            Qt::AlignLeft | Qt::AlignVCenter);
    const double cell = (kSheetWidth - 3 * kGap) / 4;
    const double drPlot = cell - 16;
    for (int ch = 0; ch < 4; ++ch) {
        for (int up = 0; up < 2; ++up) {
            const QString position = up == 0 ? "UP" : "DOWN";
            const int rate =
                valueOf(s, QString("advance1.dr.ch%1%2").arg(ch + 1).arg(up == 0 ? "Up" : "Down"));
            const int expo =
                valueOf(s, QString("advance2.drCure.ch%1%2Exp").arg(ch + 1).arg(up == 0 ? "Up" : "Down"));
            const double x = ch * (cell + kGap);
            const double cy = drTop + kGroupTitle + 2 + up * (drPlot + kGroupTitle + kGap);
            const QString title =
                QString("CH%1 %2: RATE %3 %, EXP %4").arg(ch + 1).arg(position).arg(rate).arg(expo);
            addText(b.page, SheetText::Caption, QRectF(x, cy, cell, kGroupTitle), title, Qt::AlignCenter);
            SheetCurve dr{SheetCurve::DualRate,
                          QRectF(x + (cell - drPlot) / 2, cy + kGroupTitle, drPlot, drPlot),
                          kDrFillSize,
                          title,
                          {},
                          drCurve(rate, expo, kDrFillSize, kDrFillSize)};
            b.page.curves.push_back(dr);
        }
    }
    b.height = drTop + kGroupTitle + 2 + 2 * (drPlot + kGroupTitle + kGap);
    return b;
}

Block heading(const SheetHeading &h)
{
    Block b;
    addText(b.page, SheetText::Title, QRectF(0, 0, kSheetWidth, 20), "Transmitter settings",
            Qt::AlignLeft | Qt::AlignVCenter);
    QString from = h.fromPort ? "Port: " + h.source : "File: " + h.source;
    if (h.fromPort && h.txVersion >= 0)
        from += QString("    TX Version: %1").arg(h.txVersion);
    addText(b.page, SheetText::Line, QRectF(0, 21, kSheetWidth, 13), from, Qt::AlignLeft | Qt::AlignVCenter);
    addText(b.page, SheetText::Small, QRectF(0, 34, kSheetWidth, 11),
            "Printed " + h.printed.toString("yyyy-MM-dd HH:mm t") + " by " + h.program,
            Qt::AlignLeft | Qt::AlignVCenter);
    b.page.rules.push_back(QLineF(0, 48, kSheetWidth, 48));
    b.height = 48 + kGap;
    return b;
}

} // namespace

SheetDocument layoutSheet(const TxSettingsRecord &s, const SheetHeading &h)
{
    std::vector<Block> blocks{heading(h)};
    for (const QString &page : pagesInOrder()) {
        if (page == "BASIC") {
            blocks.push_back(basicTable(s, page));
            continue;
        }
        std::vector<ExtraRow> extra;
        if (page == "SYSTEM" && h.fromPort && h.txVersion >= 0)
            extra.push_back({"VERSION / MODE", "TX Version:", QString::number(h.txVersion)});
        blocks.push_back(groupBoxes(s, page, extra));
    }
    blocks.push_back(curves(s));

    // Blocks go down the page and onto a new page where they do not fit.
    SheetDocument doc;
    doc.pages.emplace_back();
    double y = 0;
    for (const Block &b : blocks) {
        if (y > 0 && y + b.height > kSheetHeight - kFooter) {
            doc.pages.emplace_back();
            y = 0;
        }
        place(doc.pages.back(), b.page, y);
        y += b.height;
    }
    const int n = int(doc.pages.size());
    constexpr double kPageNumber = 60; // "Page 1 of 2" and room before it
    for (int i = 0; i < n; ++i) {
        const double y = kSheetHeight - 10;
        addText(doc.pages[size_t(i)], SheetText::Small, QRectF(0, y, kSheetWidth - kPageNumber, 10), h.source,
                Qt::AlignLeft | Qt::AlignVCenter);
        addText(doc.pages[size_t(i)], SheetText::Small, QRectF(kSheetWidth - kPageNumber, y, kPageNumber, 10),
                QString("Page %1 of %2").arg(i + 1).arg(n), Qt::AlignRight | Qt::AlignVCenter);
    }
    fitSheetTexts(doc);
    return doc;
}
