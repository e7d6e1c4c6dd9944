#include "DemoShopGenerator.h"

#include "data/Clock.h"
#include "data/Database.h"
#include "data/DatabaseLocation.h"
#include "data/PinyinInitials.h"
#include "data/Schema.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <vector>

namespace {

// xoshiro256** seeded through splitmix64: the same seed gives the same shop on
// every platform, which the standard distributions do not promise.
class Random
{
public:
    explicit Random(quint64 seed)
    {
        for (quint64 &word : m_state) {
            seed += 0x9E3779B97F4A7C15ULL;
            quint64 z = seed;
            z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
            z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
            word = z ^ (z >> 31);
        }
    }

    quint64 next()
    {
        const quint64 result = rotl(m_state[1] * 5, 7) * 9;
        const quint64 t = m_state[1] << 17;
        m_state[2] ^= m_state[0];
        m_state[3] ^= m_state[1];
        m_state[1] ^= m_state[2];
        m_state[0] ^= m_state[3];
        m_state[2] ^= t;
        m_state[3] = rotl(m_state[3], 45);
        return result;
    }

    // [0, 1)
    double uniform() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }
    // [low, high], both inclusive.
    qint64 between(qint64 low, qint64 high)
    {
        return low + static_cast<qint64>(uniform() * static_cast<double>(high - low + 1));
    }
    bool chance(double p) { return uniform() < p; }
    template <typename List> const auto &pick(const List &list)
    {
        return list[static_cast<qsizetype>(between(0, static_cast<qint64>(list.size()) - 1))];
    }
    double normal()
    {
        const double u = 1.0 - uniform();
        return std::sqrt(-2.0 * std::log(u)) * std::cos(2.0 * std::numbers::pi * uniform());
    }

private:
    static quint64 rotl(quint64 x, int k) { return (x << k) | (x >> (64 - k)); }
    quint64 m_state[4] = {};
};

// Index into cumulative weights: picks i with probability weight_i / total.
qsizetype pickWeighted(const std::vector<double> &cumulative, Random &random)
{
    const double target = random.uniform() * cumulative.back();
    const auto it = std::upper_bound(cumulative.begin(), cumulative.end(), target);
    return std::min<qsizetype>(it - cumulative.begin(), static_cast<qsizetype>(cumulative.size()) - 1);
}

double roundToCents(double value)
{
    return std::round(value * 100.0) / 100.0;
}

struct Brand
{
    QString name;
    double tier; // 0 cheap .. 1 premium: moves the price inside the kind's range
};

// One kind of goods the shop carries, with what varies between its articles.
struct Kind
{
    QString type;
    QString category;
    QStringList sizes;
    QStringList materials;
    QStringList colours;
    QList<int> brands; // indexes into brands()
    double minCost;
    double maxCost;
    int minQuantity; // one delivery
    int maxQuantity;
    double share; // of the assortment
};

const QList<Brand> &brands()
{
    static const QList<Brand> list{
        {QStringLiteral("新秀丽"), 1.0},    {QStringLiteral("美旅"), 0.75},
        {QStringLiteral("外交官"), 0.6},    {QStringLiteral("爱华仕"), 0.45},
        {QStringLiteral("威豹"), 0.3},      {QStringLiteral("卡帝乐鳄鱼"), 0.35},
        {QStringLiteral("稻草人"), 0.25},   {QStringLiteral("金利来"), 0.6},
        {QStringLiteral("七匹狼"), 0.45},   {QStringLiteral("皇冠"), 0.5},
        {QStringLiteral("瑞士军刀"), 0.55}, {QStringLiteral("地平线8号"), 0.6},
        {QStringLiteral("啄木鸟"), 0.35},   {QStringLiteral("袋鼠"), 0.2},
        {QStringLiteral("梦特娇"), 0.55},   {QStringLiteral("皮尔卡丹"), 0.45},
    };
    return list;
}

const QList<Kind> &kinds()
{
    const QStringList caseColours{QStringLiteral("黑色"),   QStringLiteral("银色"),   QStringLiteral("深蓝"),
                                  QStringLiteral("玫瑰金"), QStringLiteral("香槟金"), QStringLiteral("酒红"),
                                  QStringLiteral("灰色"),   QStringLiteral("白色"),   QStringLiteral("粉色"),
                                  QStringLiteral("墨绿"),   QStringLiteral("天蓝")};
    const QStringList bagColours{QStringLiteral("黑色"),   QStringLiteral("灰色"), QStringLiteral("藏青"),
                                 QStringLiteral("咖啡色"), QStringLiteral("卡其"), QStringLiteral("军绿"),
                                 QStringLiteral("酒红"),   QStringLiteral("米白"), QStringLiteral("蓝色"),
                                 QStringLiteral("红色")};
    const QStringList leatherColours{QStringLiteral("黑色"), QStringLiteral("棕色"), QStringLiteral("咖啡色"),
                                     QStringLiteral("酒红"), QStringLiteral("深蓝"), QStringLiteral("米白"),
                                     QStringLiteral("灰色")};
    // Indexes into brands(), by what each brand actually makes.
    const QList<int> caseBrands{0, 1, 2, 3, 4, 5, 6, 9, 10, 11};
    const QList<int> backpackBrands{0, 1, 2, 3, 4, 5, 6, 8, 10};
    const QList<int> handbagBrands{4, 5, 6, 7, 8, 12, 13, 14, 15};
    const QList<int> walletBrands{5, 6, 7, 8, 12, 13, 14, 15};
    const QList<int> travelBrands{0, 1, 2, 3, 4, 8, 10};
    const QList<int> casualBrands{3, 4, 5, 6, 8, 13};
    const QList<int> accessoryBrands{0, 1, 2, 3, 10};
    const auto sl = [](std::initializer_list<const char16_t *> items) {
        QStringList list;
        for (const char16_t *item : items)
            list << QString::fromUtf16(item);
        return list;
    };
    const QString cases = QStringLiteral("拉杆箱");
    const QString backpacks = QStringLiteral("背包");
    const QString handbags = QStringLiteral("手提包");
    const QString wallets = QStringLiteral("钱包");
    const QString travel = QStringLiteral("旅行袋");
    const QString casual = QStringLiteral("休闲包");
    const QString accessories = QStringLiteral("配件");

    static const QList<Kind> list{
        {QStringLiteral("拉杆箱"), cases, sl({u"20寸", u"22寸", u"24寸", u"26寸", u"28寸"}),
         sl({u"PC", u"ABS+PC", u"铝框PC", u"牛津布"}), caseColours, caseBrands, 150, 900, 5, 30, 10},
        {QStringLiteral("登机箱"), cases, sl({u"18寸", u"20寸"}), sl({u"PC", u"ABS", u"铝框PC"}), caseColours,
         caseBrands, 150, 600, 5, 30, 6},
        {QStringLiteral("行李箱"), cases, sl({u"24寸", u"26寸", u"28寸", u"29寸"}),
         sl({u"PC", u"ABS+PC", u"铝镁合金"}), caseColours, caseBrands, 200, 900, 4, 25, 6},
        {QStringLiteral("旅行箱"), cases, sl({u"20寸", u"24寸", u"28寸"}), sl({u"铝框PC", u"PC", u"帆布"}),
         caseColours, caseBrands, 180, 800, 4, 25, 4},
        {QStringLiteral("双肩包"),
         backpacks,
         {},
         sl({u"尼龙", u"牛津布", u"涤纶", u"帆布", u"PU"}),
         bagColours,
         backpackBrands,
         60,
         300,
         6,
         40,
         9},
        {QStringLiteral("电脑包"), backpacks, sl({u"14寸", u"15.6寸", u"17寸"}),
         sl({u"尼龙", u"牛津布", u"涤纶"}), bagColours, backpackBrands, 60, 350, 6, 40, 6},
        {QStringLiteral("登山包"), backpacks, sl({u"30L", u"40L", u"50L", u"60L"}), sl({u"尼龙", u"涤纶"}),
         bagColours, backpackBrands, 80, 400, 5, 30, 3},
        {QStringLiteral("书包"), backpacks, sl({u"小号", u"中号", u"大号"}),
         sl({u"尼龙", u"牛津布", u"帆布"}), bagColours, backpackBrands, 40, 200, 10, 50, 3},
        {QStringLiteral("手提包"),
         handbags,
         {},
         sl({u"头层牛皮", u"PU", u"帆布", u"羊皮"}),
         leatherColours,
         handbagBrands,
         50,
         500,
         6,
         40,
         6},
        {QStringLiteral("单肩包"),
         handbags,
         {},
         sl({u"头层牛皮", u"PU", u"帆布"}),
         leatherColours,
         handbagBrands,
         50,
         400,
         6,
         40,
         4},
        {QStringLiteral("斜挎包"),
         handbags,
         {},
         sl({u"头层牛皮", u"PU", u"尼龙", u"帆布"}),
         bagColours,
         handbagBrands,
         40,
         300,
         6,
         40,
         5},
        {QStringLiteral("公文包"),
         handbags,
         {},
         sl({u"头层牛皮", u"PU"}),
         leatherColours,
         handbagBrands,
         100,
         600,
         5,
         30,
         3},
        {QStringLiteral("钱包"), wallets, sl({u"短款", u"长款", u"竖款", u"三折"}),
         sl({u"头层牛皮", u"PU", u"羊皮"}), leatherColours, walletBrands, 20, 150, 10, 50, 8},
        {QStringLiteral("卡包"),
         wallets,
         {},
         sl({u"头层牛皮", u"PU"}),
         leatherColours,
         walletBrands,
         20,
         80,
         10,
         50,
         4},
        {QStringLiteral("零钱包"),
         wallets,
         {},
         sl({u"头层牛皮", u"PU", u"帆布"}),
         leatherColours,
         walletBrands,
         20,
         60,
         10,
         50,
         2},
        {QStringLiteral("手包"),
         wallets,
         {},
         sl({u"头层牛皮", u"PU"}),
         leatherColours,
         walletBrands,
         40,
         150,
         6,
         40,
         2},
        {QStringLiteral("旅行袋"), travel, sl({u"大号", u"中号", u"小号"}), sl({u"牛津布", u"尼龙", u"帆布"}),
         bagColours, travelBrands, 40, 200, 6, 40, 4},
        {QStringLiteral("行李袋"), travel, sl({u"大号", u"中号"}), sl({u"牛津布", u"尼龙"}), bagColours,
         travelBrands, 40, 220, 6, 40, 2},
        {QStringLiteral("健身包"),
         travel,
         {},
         sl({u"尼龙", u"涤纶"}),
         bagColours,
         travelBrands,
         40,
         150,
         6,
         40,
         2},
        {QStringLiteral("腰包"),
         casual,
         {},
         sl({u"尼龙", u"牛津布", u"头层牛皮"}),
         bagColours,
         casualBrands,
         20,
         120,
         10,
         50,
         3},
        {QStringLiteral("胸包"),
         casual,
         {},
         sl({u"尼龙", u"牛津布", u"PU"}),
         bagColours,
         casualBrands,
         30,
         180,
         10,
         50,
         3},
        {QStringLiteral("化妆包"), accessories, sl({u"大号", u"小号"}), sl({u"PU", u"尼龙", u"涤纶"}),
         bagColours, accessoryBrands, 15, 80, 10, 50, 2},
        {QStringLiteral("收纳袋"), accessories, sl({u"四件套", u"六件套"}), sl({u"涤纶", u"尼龙"}),
         bagColours, accessoryBrands, 10, 50, 10, 50, 2},
        {QStringLiteral("海关密码锁"),
         accessories,
         {},
         sl({u"锌合金"}),
         sl({u"黑色", u"银色", u"红色", u"蓝色"}),
         accessoryBrands,
         15,
         60,
         10,
         50,
         1},
        {QStringLiteral("箱套"), accessories, sl({u"20寸", u"24寸", u"28寸"}), sl({u"弹力布"}), bagColours,
         accessoryBrands, 15, 60, 10, 50, 1},
        {QStringLiteral("行李带"),
         accessories,
         {},
         sl({u"尼龙"}),
         bagColours,
         accessoryBrands,
         10,
         40,
         10,
         50,
         1},
    };
    return list;
}

QStringList supplierNames()
{
    return {
        QStringLiteral("广州白云皮具城 李记"),       QStringLiteral("广州桂花岗皮具城 陈老板"),
        QStringLiteral("白沟箱包批发 王老板"),       QStringLiteral("白沟国际箱包城 张姐"),
        QStringLiteral("平湖箱包城 陈经理"),         QStringLiteral("狮岭皮具商贸城 黄生"),
        QStringLiteral("花都狮岭 何记箱包"),         QStringLiteral("温州箱包市场 周记"),
        QStringLiteral("义乌国际商贸城 金华箱包行"), QStringLiteral("东莞常平箱包厂"),
        QStringLiteral("泉州晋江箱包 林老板"),       QStringLiteral("石家庄南三条 赵记皮具"),
        QStringLiteral("成都荷花池 刘姐"),           QStringLiteral("杭州四季青 吴老板"),
        QStringLiteral("武汉汉正街 胡记箱包"),       QStringLiteral("沈阳五爱市场 孙老板"),
        QStringLiteral("郑州银基 马老板"),           QStringLiteral("上海七浦路 徐记"),
        QStringLiteral("深圳华强北 箱包批发部"),     QStringLiteral("长沙高桥大市场 谭老板"),
        QStringLiteral("昆明螺蛳湾 杨记"),           QStringLiteral("西安康复路 郭老板"),
        QStringLiteral("南京金盛百货 朱记"),         QStringLiteral("重庆朝天门 邓老板"),
        QStringLiteral("新秀丽华南总代理"),          QStringLiteral("美旅广东经销部"),
        QStringLiteral("外交官箱包 广州专营"),       QStringLiteral("爱华仕厂家直供"),
        QStringLiteral("威豹箱包 佛山仓"),           QStringLiteral("金利来皮具 代理商"),
        QStringLiteral("七匹狼皮具 厦门仓"),         QStringLiteral("卡帝乐鳄鱼 广州批发部"),
    };
}

QStringList stockRemarks()
{
    return {QStringLiteral("新款"),     QStringLiteral("样品"),       QStringLiteral("特价处理"),
            QStringLiteral("厂家促销"), QStringLiteral("有轻微划痕"), QStringLiteral("换季清仓"),
            QStringLiteral("客户预订"), QStringLiteral("送防尘袋"),   QStringLiteral("含TSA海关锁"),
            QStringLiteral("补货"),     QStringLiteral("展示样品"),   QStringLiteral("节日备货")};
}

// EAN-13 from its first twelve digits: weights 1 and 3 from the left.
QString withEan13CheckDigit(const QString &twelveDigits)
{
    int sum = 0;
    for (qsizetype i = 0; i < 12; ++i)
        sum += twelveDigits.at(i).digitValue() * (i % 2 == 0 ? 1 : 3);
    return twelveDigits + QChar(u'0' + (10 - sum % 10) % 10);
}

double sellingPrice(double cost, double markup)
{
    double price = cost * markup;
    if (price >= 200)
        price = std::round(price / 10.0) * 10.0;
    else if (price >= 50)
        price = std::round(price / 5.0) * 5.0;
    else
        price = std::round(price);
    return price;
}

// An empty box is stored as empty text, not NULL: a null QString would bind as NULL.
const QString kNoText = QStringLiteral("");

// Mean days from arrival to sale of one piece.
constexpr double kSellThroughDays = 75;

constexpr qint32 kWalkInBlank = -2; // customer box left empty
constexpr qint32 kWalkIn = -1;      // "散客"

} // namespace

struct DemoShopGenerator::Plan
{
    struct Article
    {
        QVariant name, spec, code, category, nameInitials, specInitials;
        int kind = 0;
        int supplier = 0;
        double cost = 0;
        double markup = 1.5;
    };
    struct StockRow
    {
        qint32 article = 0;
        qint32 day = 0; // days after `start`
        qint32 supplier = 0;
        qint32 remark = -1;
        double cost = 0;
        double price = 0;
        double quantity = 0;
        double sold = 0;
        double amount = 0;
    };
    struct Line
    {
        qint32 row = 0;
        qint32 day = 0;
        qint32 minute = 0;
        qint32 order = 0; // counter within the day
        qint32 customer = kWalkInBlank;
        qint32 quantity = 0;
        double price = 0;
        double debt = 0;
    };
    struct Customer
    {
        QVariant name, address, contact, remark;
    };

    QDate start;
    qint32 span = 0; // days from start to today
    std::vector<Article> articles;
    std::vector<StockRow> rows;
    std::vector<Line> lines; // in the order they were sold
    std::vector<Customer> customers;
    QList<QVariant> suppliers;
    QList<QVariant> remarks;
};

DemoShopGenerator::DemoShopGenerator(const DemoShopOptions &options) : m_options(options)
{
    if (!m_options.today.isValid())
        m_options.today = Clock::current().today();
}

DemoShopGenerator::~DemoShopGenerator() = default;

bool DemoShopGenerator::fail(const QString &text)
{
    m_error = text;
    return false;
}

void DemoShopGenerator::report(const QString &stage, qint64 done, qint64 total) const
{
    if (m_progress)
        m_progress(stage, done, total);
}

bool DemoShopGenerator::makePlan()
{
    if (m_options.stockRows < 1)
        return fail(QStringLiteral("库存记录行数至少为 1。"));
    if (m_options.saleLines < 0)
        return fail(QStringLiteral("销售明细行数不能为负数。"));
    if (m_options.years < 1)
        return fail(QStringLiteral("年数至少为 1。"));

    auto plan = std::make_unique<Plan>();
    Random random(m_options.seed);
    const qint64 stockCount = m_options.stockRows;
    const qint64 lineCount = m_options.saleLines;
    plan->start = m_options.today.addYears(-m_options.years);
    plan->span = static_cast<qint32>(plan->start.daysTo(m_options.today));

    for (const QString &name : supplierNames())
        plan->suppliers << QVariant(name);
    for (const QString &remark : stockRemarks())
        plan->remarks << QVariant(remark);

    // The assortment: a few dozen to some thousand articles, so each shows up
    // in many deliveries. An article arrives at most once a day, which keeps
    // the tie between a sale line and its stock row (name, spec, code,
    // category and stock-in date) unambiguous.
    const QList<Kind> &kindList = kinds();
    qint64 possible = 0;
    std::vector<double> kindWeights;
    for (const Kind &kind : kindList) {
        possible += qint64(kind.brands.size()) * std::max<qsizetype>(1, kind.sizes.size()) *
                    kind.materials.size() * kind.colours.size();
        kindWeights.push_back((kindWeights.empty() ? 0 : kindWeights.back()) + kind.share);
    }
    const qint64 days = plan->span + 1;
    // Deliveries grow over the years; the busiest days get about 1.5 times
    // the average. Twice that many articles keep every day's choice wide.
    const qint64 needed = (stockCount * 31 + days * 10 - 1) / (days * 10);
    qint64 wanted = std::max({std::min<qint64>(stockCount, 40), stockCount / 15, needed});
    wanted = std::min(wanted, possible * 3 / 4);
    const auto tooMany = [&] {
        return fail(QStringLiteral(
                        "%1 年内放不下 %2 条库存记录（每种商品每天最多入库一次），请减少库存行数或增加年数。")
                        .arg(m_options.years)
                        .arg(stockCount));
    };
    if (wanted < needed)
        return tooMany();

    QHash<QString, QVariant> initialsCache; // the names and specs repeat a lot
    const auto initialsOf = [&initialsCache](const QString &text) {
        auto it = initialsCache.find(text);
        if (it == initialsCache.end())
            it = initialsCache.insert(text, QVariant(PinyinInitials(text.trimmed())));
        return it.value();
    };
    QSet<QString> seenArticles;
    QList<int> nextItemNumber(brands().size());
    for (int &number : nextItemNumber)
        number = static_cast<int>(random.between(100, 20000));
    std::vector<double> articleWeights;
    plan->articles.reserve(static_cast<size_t>(wanted));
    // Most tries find a new combination; the limit only ends a request for
    // nearly every combination there is.
    for (qint64 tries = 0; static_cast<qint64>(plan->articles.size()) < wanted && tries < 50 * wanted;
         ++tries) {
        const int kindIndex = static_cast<int>(pickWeighted(kindWeights, random));
        const Kind &kind = kindList.at(kindIndex);
        const int brandIndex = random.pick(kind.brands);
        const Brand &brand = brands().at(brandIndex);
        QStringList specParts;
        if (!kind.sizes.isEmpty())
            specParts << random.pick(kind.sizes);
        specParts << random.pick(kind.colours) << random.pick(kind.materials);
        const QString name = brand.name + kind.type;
        const QString spec = specParts.join(u' ');
        if (seenArticles.contains(name + u'\t' + spec))
            continue;
        seenArticles.insert(name + u'\t' + spec);

        Plan::Article article;
        article.kind = kindIndex;
        article.name = name;
        article.spec = spec;
        article.category = kind.category;
        article.nameInitials = initialsOf(name);
        article.specInitials = initialsOf(spec);
        // 69 is China's GS1 prefix; each brand gets its own company number.
        const int company = 10000 + (brandIndex * 3571) % 90000;
        const int item = nextItemNumber[brandIndex]++ % 100000;
        article.code =
            withEan13CheckDigit(QStringLiteral("69%1%2").arg(company).arg(item, 5, 10, QLatin1Char('0')));
        article.supplier = static_cast<int>(random.between(0, plan->suppliers.size() - 1));
        const double position = std::clamp(0.6 * brand.tier + 0.4 * random.uniform(), 0.0, 1.0);
        double cost = kind.minCost + (kind.maxCost - kind.minCost) * position;
        cost = cost >= 100 ? std::round(cost / 5.0) * 5.0 : std::round(cost);
        article.cost = cost;
        article.markup = 1.4 + 0.8 * random.uniform();
        plan->articles.push_back(std::move(article));
        // A few best sellers and a long tail.
        const double popularity = std::exp(0.9 * random.normal()) * kind.share;
        articleWeights.push_back((articleWeights.empty() ? 0 : articleWeights.back()) + popularity);
    }
    if (static_cast<qint64>(plan->articles.size()) < needed)
        return tooMany();
    report(QStringLiteral("商品"), wanted, wanted);

    // Deliveries: more of them in later years, as the shop grew.
    std::vector<qint32> stockDays(static_cast<size_t>(stockCount));
    for (qint32 &day : stockDays)
        day = std::min<qint32>(plan->span, static_cast<qint32>(std::pow(random.uniform(), 0.65) * days));
    std::sort(stockDays.begin(), stockDays.end());
    std::vector<qint32> lastDelivery(plan->articles.size(), -1);
    plan->rows.resize(static_cast<size_t>(stockCount));
    for (qint64 i = 0; i < stockCount; ++i) {
        Plan::StockRow &row = plan->rows[static_cast<size_t>(i)];
        row.day = stockDays[static_cast<size_t>(i)];
        qsizetype article = pickWeighted(articleWeights, random);
        for (int attempt = 0; attempt < 8 && lastDelivery[static_cast<size_t>(article)] == row.day; ++attempt)
            article = pickWeighted(articleWeights, random);
        for (qsizetype probes = 0; lastDelivery[static_cast<size_t>(article)] == row.day; ++probes) {
            if (probes == static_cast<qsizetype>(plan->articles.size()))
                return tooMany();
            article = (article + 1) % static_cast<qsizetype>(plan->articles.size());
        }
        lastDelivery[static_cast<size_t>(article)] = row.day;
        const Plan::Article &a = plan->articles[static_cast<size_t>(article)];
        const Kind &kind = kindList.at(a.kind);
        row.article = static_cast<qint32>(article);
        row.supplier = random.chance(0.85)
                           ? a.supplier
                           : static_cast<qint32>(random.between(0, plan->suppliers.size() - 1));
        row.remark =
            random.chance(0.1) ? static_cast<qint32>(random.between(0, plan->remarks.size() - 1)) : -1;
        row.cost = a.cost;
        if (random.chance(0.15)) { // the wholesaler changed the price of this delivery
            const double changed = a.cost * (0.9 + 0.2 * random.uniform());
            row.cost = std::max(kind.minCost,
                                changed >= 100 ? std::round(changed / 5.0) * 5.0 : std::round(changed));
        }
        row.price = sellingPrice(row.cost, a.markup);
        row.quantity = static_cast<double>(random.between(kind.minQuantity, kind.maxQuantity));
    }
    report(QStringLiteral("入库"), stockCount, stockCount);

    // How many sale lines each delivery gets: later deliveries and popular
    // articles sell more. Every line takes at least one piece, so a row never
    // gets more lines than it has pieces; a sales-heavy request gets bigger
    // deliveries rather than oversold ones.
    std::vector<qint32> linesOfRow(static_cast<size_t>(stockCount), 0);
    if (lineCount > 0) {
        double capacity = 0;
        for (const Plan::StockRow &row : plan->rows)
            capacity += row.quantity;
        if (capacity < 1.5 * static_cast<double>(lineCount)) {
            const double factor = 1.5 * static_cast<double>(lineCount) / capacity;
            for (Plan::StockRow &row : plan->rows)
                row.quantity = std::ceil(row.quantity * factor);
        }
        std::vector<double> rowWeights(static_cast<size_t>(stockCount));
        double total = 0;
        for (qint64 i = 0; i < stockCount; ++i) {
            const Plan::StockRow &row = plan->rows[static_cast<size_t>(i)];
            const double recency = 0.6 + 0.8 * static_cast<double>(i) / static_cast<double>(stockCount);
            // A delivery of yesterday has had little time to sell.
            const double exposure = 1.0 - std::exp(-(plan->span - row.day + 1) / kSellThroughDays);
            const qint32 article = row.article;
            const double popularity = articleWeights[static_cast<size_t>(article)] -
                                      (article > 0 ? articleWeights[static_cast<size_t>(article) - 1] : 0);
            total += popularity * recency * exposure;
            rowWeights[static_cast<size_t>(i)] = total;
        }
        for (qint64 n = 0; n < lineCount; ++n) {
            qsizetype r = pickWeighted(rowWeights, random);
            for (int attempt = 0; attempt < 16 && linesOfRow[static_cast<size_t>(r)] >=
                                                      plan->rows[static_cast<size_t>(r)].quantity;
                 ++attempt)
                r = pickWeighted(rowWeights, random);
            while (linesOfRow[static_cast<size_t>(r)] >= plan->rows[static_cast<size_t>(r)].quantity)
                r = (r + 1) % stockCount;
            ++linesOfRow[static_cast<size_t>(r)];
        }
    }

    // The lines of each delivery in the order they happened: sold soon after
    // arrival mostly; a return only gives back what was sold before it.
    std::vector<Plan::Line> byRow;
    byRow.reserve(static_cast<size_t>(lineCount));
    std::vector<std::pair<qint32, qint32>> moments; // day, minute
    for (qint64 i = 0; i < stockCount; ++i) {
        Plan::StockRow &row = plan->rows[static_cast<size_t>(i)];
        const qint32 k = linesOfRow[static_cast<size_t>(i)];
        if (k == 0)
            continue;
        moments.clear();
        // Days since arrival follow the sell-through curve, cut off at today.
        const qint32 open = plan->span - row.day + 1;
        const double reach = 1.0 - std::exp(-open / kSellThroughDays);
        for (qint32 j = 0; j < k; ++j) {
            const double offset = -kSellThroughDays * std::log(1.0 - random.uniform() * reach);
            const qint32 day = row.day + std::min(open - 1, static_cast<qint32>(offset));
            moments.emplace_back(day, static_cast<qint32>(random.between(9 * 60, 21 * 60 + 30)));
        }
        std::sort(moments.begin(), moments.end());
        double net = 0;
        double peak = 0;
        double lastPrice = row.price;
        qint32 lastQuantity = 1;
        for (qint32 j = 0; j < k; ++j) {
            Plan::Line line;
            line.row = static_cast<qint32>(i);
            line.day = moments[static_cast<size_t>(j)].first;
            line.minute = moments[static_cast<size_t>(j)].second;
            if (net >= 1 && random.chance(0.033)) {
                line.quantity =
                    -static_cast<qint32>(std::min<double>(net, random.chance(0.8) ? 1 : lastQuantity));
                line.price = lastPrice;
            } else {
                // Keep one piece for every line still to come.
                const double room = row.quantity - net - (k - j - 1);
                const double u = random.uniform();
                const qint32 wish = u < 0.82 ? 1 : (u < 0.95 ? 2 : 3);
                line.quantity = static_cast<qint32>(std::min<double>(wish, room));
                line.price = row.price;
                if (random.chance(0.22)) {
                    static constexpr std::array<double, 5> discounts{0.95, 0.9, 0.88, 0.85, 0.8};
                    line.price = std::max(1.0, std::round(row.price * random.pick(discounts)));
                } else if (row.price >= 100 && random.chance(0.05)) {
                    line.price = row.price - std::fmod(row.price, 10.0); // the odd yuan let go
                }
                lastPrice = line.price;
                lastQuantity = line.quantity;
            }
            net += line.quantity;
            peak = std::max(peak, net);
            row.sold += line.quantity;
            row.amount += line.price * line.quantity;
            byRow.push_back(line);
        }
        // Older deliveries are more often gone completely.
        const double age = 1.0 - static_cast<double>(row.day) / std::max(1, plan->span);
        if (net == peak && random.chance(0.1 + 0.4 * age))
            row.quantity = net;
    }
    report(QStringLiteral("销售计划"), lineCount, lineCount);

    // The shop's day: lines in time order, grouped into tickets.
    std::vector<quint64> keys(byRow.size());
    for (size_t n = 0; n < byRow.size(); ++n)
        keys[n] = (quint64(byRow[n].day) << 44) | (quint64(byRow[n].minute) << 32) | quint64(n);
    std::sort(keys.begin(), keys.end());
    plan->lines.resize(byRow.size());
    for (size_t n = 0; n < keys.size(); ++n)
        plan->lines[n] = byRow[static_cast<size_t>(keys[n] & 0xFFFFFFFFULL)];
    std::vector<Plan::Line>().swap(byRow);

    // Regular customers: a few come back often.
    const QStringList surnames{
        QStringLiteral("王"), QStringLiteral("李"), QStringLiteral("张"), QStringLiteral("刘"),
        QStringLiteral("陈"), QStringLiteral("杨"), QStringLiteral("黄"), QStringLiteral("赵"),
        QStringLiteral("吴"), QStringLiteral("周"), QStringLiteral("徐"), QStringLiteral("孙"),
        QStringLiteral("马"), QStringLiteral("朱"), QStringLiteral("胡"), QStringLiteral("郭"),
        QStringLiteral("何"), QStringLiteral("林"), QStringLiteral("罗"), QStringLiteral("梁")};
    const QStringList givenNames{QStringLiteral("先生"), QStringLiteral("女士"), QStringLiteral("老板"),
                                 QStringLiteral("姐"),   QStringLiteral("建国"), QStringLiteral("丽娟"),
                                 QStringLiteral("志强"), QStringLiteral("海燕"), QStringLiteral("伟"),
                                 QStringLiteral("芳"),   QStringLiteral("敏"),   QStringLiteral("春梅"),
                                 QStringLiteral("国庆"), QStringLiteral("小红"), QStringLiteral("俊杰")};
    const QStringList companies{QStringLiteral("锦江之星酒店"), QStringLiteral("广之旅天河营业部"),
                                QStringLiteral("明珠旅行社"),   QStringLiteral("恒通贸易公司"),
                                QStringLiteral("远航外贸公司"), QStringLiteral("实验中学"),
                                QStringLiteral("南航乘务部"),   QStringLiteral("新世纪百货")};
    const QStringList places{
        QStringLiteral("广州市天河区体育西路"), QStringLiteral("广州市越秀区北京路"),
        QStringLiteral("广州市白云区机场路"),   QStringLiteral("广州市海珠区江南大道"),
        QStringLiteral("佛山市禅城区祖庙路"),   QStringLiteral("深圳市福田区华强北路"),
        QStringLiteral("东莞市南城区鸿福路"),   QStringLiteral("广州市番禺区市桥大北路")};
    const QStringList customerRemarks{QStringLiteral("老客户"), QStringLiteral("会员"),
                                      QStringLiteral("团购客户"), QStringLiteral("送货上门")};
    const qint64 customerCount = std::clamp<qint64>(lineCount / 150, 20, 3000);
    QSet<QString> customerNames;
    std::vector<double> customerWeights;
    for (qint64 n = 0; static_cast<qint64>(plan->customers.size()) < customerCount && n < customerCount * 20;
         ++n) {
        const QString name =
            random.chance(0.12) ? random.pick(companies) : random.pick(surnames) + random.pick(givenNames);
        if (customerNames.contains(name))
            continue;
        customerNames.insert(name);
        Plan::Customer customer;
        customer.name = name;
        static constexpr std::array<int, 5> mobilePrefixes{13, 15, 17, 18, 19};
        const int prefix = random.pick(mobilePrefixes);
        customer.contact = random.chance(0.8)
                               ? QStringLiteral("%1%2").arg(prefix).arg(random.between(100000000, 999999999))
                               : kNoText;
        customer.address = random.chance(0.5)
                               ? QStringLiteral("%1%2号").arg(random.pick(places)).arg(random.between(1, 388))
                               : kNoText;
        customer.remark = random.chance(0.1) ? random.pick(customerRemarks) : kNoText;
        plan->customers.push_back(std::move(customer));
        const double weight = 1.0 / std::pow(static_cast<double>(plan->customers.size()), 0.5);
        customerWeights.push_back((customerWeights.empty() ? 0 : customerWeights.back()) + weight);
    }

    // Tickets: consecutive lines of one day, numbered from 001; a busy day
    // gets bigger tickets rather than a fourth digit.
    static constexpr double ticketSizes[] = {0.35, 0.65, 0.83, 0.93, 0.98, 1.0}; // 1..6 lines
    qint64 orders = 0;
    for (size_t first = 0; first < plan->lines.size();) {
        size_t end = first;
        while (end < plan->lines.size() && plan->lines[end].day == plan->lines[first].day)
            ++end;
        const size_t count = end - first;
        const size_t fixedSize = count > 2000 ? (count + 998) / 999 : 0;
        qint32 counter = 0;
        for (size_t n = first; n < end;) {
            size_t size = fixedSize;
            if (size == 0) {
                const double u = random.uniform();
                size = 1;
                while (u >= ticketSizes[size - 1])
                    ++size;
            }
            // The 999th ticket of a day takes whatever is left of it.
            if (counter == 998)
                size = end - n;
            ++counter;
            ++orders;
            qint32 customer = kWalkInBlank;
            if (random.chance(0.28))
                customer = static_cast<qint32>(pickWeighted(customerWeights, random));
            else if (random.chance(0.45))
                customer = kWalkIn;
            const int debtMode = customer >= 0 && random.chance(0.06) ? (random.chance(0.5) ? 1 : 2) : 0;
            for (size_t m = n; m < std::min(end, n + size); ++m) {
                Plan::Line &line = plan->lines[m];
                line.order = counter;
                line.customer = customer;
                if (debtMode != 0 && line.quantity > 0)
                    line.debt = debtMode == 1 ? line.price * line.quantity
                                              : std::round(line.price * line.quantity / 2.0);
            }
            n = std::min(end, n + size);
        }
        first = end;
    }

    m_summary = {};
    m_summary.articles = static_cast<qint64>(plan->articles.size());
    m_summary.stockRows = stockCount;
    m_summary.saleLines = static_cast<qint64>(plan->lines.size());
    m_summary.orders = orders;
    for (const Plan::Line &line : plan->lines)
        m_summary.returnLines += line.quantity < 0 ? 1 : 0;
    for (const Plan::StockRow &row : plan->rows)
        m_summary.soldOutRows += row.quantity - row.sold == 0 ? 1 : 0;
    m_plan = std::move(plan);
    return true;
}

namespace {

// Appends rows with multi-row INSERT statements, every value bound: far fewer
// statements than rows, the same SQL on both engines.
class BatchInsert
{
public:
    BatchInsert(const QSqlDatabase &db, const QString &table, const QStringList &columns,
                int rowsPerStatement)
        : m_db(db), m_table(table), m_columns(columns), m_rowsPerStatement(rowsPerStatement)
    {
        m_values.reserve(columns.size() * rowsPerStatement);
    }

    void add(const QVariant &value) { m_values.append(value); }

    bool endRow()
    {
        ++m_rows;
        return m_rows < m_rowsPerStatement || flush();
    }

    bool finish() { return m_rows == 0 || flush(); }
    QString errorText() const { return m_error; }

private:
    bool flush()
    {
        QSqlQuery *query = &m_full;
        QSqlQuery tail(m_db);
        if (m_rows == m_rowsPerStatement) {
            if (!m_prepared) {
                m_full = QSqlQuery(m_db);
                if (!m_full.prepare(statement(m_rows)))
                    return failed(m_full);
                m_prepared = true;
            }
        } else {
            query = &tail;
            if (!tail.prepare(statement(m_rows)))
                return failed(tail);
        }
        for (qsizetype i = 0; i < m_values.size(); ++i)
            query->bindValue(static_cast<int>(i), m_values.at(i));
        if (!query->exec())
            return failed(*query);
        m_values.clear();
        m_rows = 0;
        return true;
    }

    QString statement(int rows) const
    {
        QStringList quoted;
        for (const QString &column : m_columns)
            quoted << (column.front().isDigit() ? u'"' + column + u'"' : column);
        const QString one = u'(' + QStringList(m_columns.size(), QStringLiteral("?")).join(u',') + u')';
        return QStringLiteral("INSERT INTO %1 (%2) VALUES ").arg(m_table, quoted.join(QStringLiteral(", "))) +
               QStringList(rows, one).join(u',');
    }

    bool failed(const QSqlQuery &query)
    {
        const QSqlError error = query.lastError();
        m_error = error.databaseText().isEmpty() ? error.text() : error.databaseText();
        return false;
    }

    QSqlDatabase m_db;
    QString m_table;
    QStringList m_columns;
    int m_rowsPerStatement;
    QSqlQuery m_full;
    bool m_prepared = false;
    QVariantList m_values;
    int m_rows = 0;
    QString m_error;
};

constexpr int kRowsPerStatement = 100;

} // namespace

bool DemoShopGenerator::writeStock(Database &db)
{
    const Plan &plan = *m_plan;
    const Dialect &dialect = db.dialect();
    BatchInsert insert(db.connection(), QStringLiteral("data"),
                       {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("d"),
                        QStringLiteral("e"), QStringLiteral("f"), QStringLiteral("g"), QStringLiteral("z"),
                        QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4"),
                        QStringLiteral("5"), QStringLiteral("6"), QStringLiteral("7"), QStringLiteral("8"),
                        QStringLiteral("day1")},
                       kRowsPerStatement);
    const QVariant noRemark{kNoText};
    const qint64 total = static_cast<qint64>(plan.rows.size());
    for (qint64 i = 0; i < total; ++i) {
        const Plan::StockRow &row = plan.rows[static_cast<size_t>(i)];
        const Plan::Article &article = plan.articles[static_cast<size_t>(row.article)];
        const double left = roundToCents(row.quantity - row.sold);
        insert.add(article.name);
        insert.add(article.spec);
        insert.add(article.code);
        insert.add(article.category);
        insert.add(article.nameInitials);
        insert.add(article.specInitials);
        insert.add(plan.suppliers.at(row.supplier));
        insert.add(row.remark >= 0 ? plan.remarks.at(row.remark) : noRemark);
        insert.add(row.cost);
        insert.add(row.quantity);
        insert.add(row.cost * row.quantity);
        insert.add(row.price);
        insert.add(row.sold);
        insert.add(row.amount);
        insert.add(left);
        insert.add(left * row.cost);
        insert.add(dialect.dateValue(plan.start.addDays(row.day)));
        if (!insert.endRow())
            return fail(QStringLiteral("写入库存记录失败：%1").arg(insert.errorText()));
        if (i % 10000 == 0)
            report(QStringLiteral("写入库存记录"), i, total);
    }
    if (!insert.finish())
        return fail(QStringLiteral("写入库存记录失败：%1").arg(insert.errorText()));
    report(QStringLiteral("写入库存记录"), total, total);
    return true;
}

bool DemoShopGenerator::writeSales(Database &db)
{
    const Plan &plan = *m_plan;
    const Dialect &dialect = db.dialect();
    BatchInsert insert(db.connection(), QStringLiteral("data1"),
                       {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("d"),
                        QStringLiteral("e"), QStringLiteral("f"), QStringLiteral("z"), QStringLiteral("g"),
                        QStringLiteral("h"), QStringLiteral("i"), QStringLiteral("j"), QStringLiteral("1"),
                        QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4"), QStringLiteral("a5"),
                        QStringLiteral("6"), QStringLiteral("day1"), QStringLiteral("day2")},
                       kRowsPerStatement);
    // Dates and order numbers repeat; make each once.
    std::vector<QVariant> dates(static_cast<size_t>(plan.span) + 1);
    QStringList compactDates;
    for (qint32 day = 0; day <= plan.span; ++day) {
        dates[static_cast<size_t>(day)] = dialect.dateValue(plan.start.addDays(day));
        compactDates << plan.start.addDays(day).toString(QStringLiteral("yyyyMMdd"));
    }
    const QVariant empty{kNoText};
    const QVariant walkIn{QStringLiteral("散客")};
    QVariant orderNumber;
    qint32 orderDay = -1;
    qint32 orderCounter = -1;
    const qint64 total = static_cast<qint64>(plan.lines.size());
    for (qint64 n = 0; n < total; ++n) {
        const Plan::Line &line = plan.lines[static_cast<size_t>(n)];
        const Plan::StockRow &row = plan.rows[static_cast<size_t>(line.row)];
        const Plan::Article &article = plan.articles[static_cast<size_t>(row.article)];
        if (line.day != orderDay || line.order != orderCounter) {
            orderDay = line.day;
            orderCounter = line.order;
            orderNumber = QString(compactDates.at(orderDay) +
                                  QStringLiteral("%1").arg(orderCounter, 3, 10, QLatin1Char('0')));
        }
        insert.add(article.name);
        insert.add(article.spec);
        insert.add(article.code);
        insert.add(article.category);
        insert.add(article.nameInitials);
        insert.add(article.specInitials);
        insert.add(orderNumber);
        if (line.customer >= 0) {
            const Plan::Customer &customer = plan.customers[static_cast<size_t>(line.customer)];
            insert.add(customer.name);
            insert.add(customer.address);
            insert.add(customer.contact);
            insert.add(customer.remark);
        } else {
            insert.add(line.customer == kWalkIn ? walkIn : empty);
            insert.add(empty);
            insert.add(empty);
            insert.add(empty);
        }
        const double quantity = line.quantity;
        insert.add(row.cost);
        insert.add(line.price);
        insert.add(quantity);
        insert.add(line.price * quantity);
        insert.add(roundToCents((line.price - row.cost) * quantity));
        insert.add(line.debt);
        insert.add(dates[static_cast<size_t>(line.day)]);
        insert.add(dates[static_cast<size_t>(row.day)]);
        if (!insert.endRow())
            return fail(QStringLiteral("写入销售明细失败：%1").arg(insert.errorText()));
        if (n % 20000 == 0)
            report(QStringLiteral("写入销售明细"), n, total);
    }
    if (!insert.finish())
        return fail(QStringLiteral("写入销售明细失败：%1").arg(insert.errorText()));
    report(QStringLiteral("写入销售明细"), total, total);
    return true;
}

bool DemoShopGenerator::fill(Database &db, bool clearExisting)
{
    if (!db.isOpen())
        return fail(db.errorText());
    if (!m_plan && !makePlan())
        return false;

    QSqlQuery q(db.connection());
    if (!clearExisting) {
        for (const QString &table : {QStringLiteral("data"), QStringLiteral("data1")}) {
            if (!q.exec(QStringLiteral("SELECT count(*) FROM ") + table) || !q.next())
                return fail(QStringLiteral("无法读取数据表 %1：%2").arg(table, q.lastError().text()));
            const qint64 present = q.value(0).toLongLong();
            q.finish();
            if (present > 0)
                return fail(
                    QStringLiteral("数据库“%1”的数据表 %2 中已有数据；要清空后重新生成，请加 --force。")
                        .arg(db.location().displayName(), table));
        }
    }

    WriteTransaction tx(db);
    if (!tx.isActive())
        return fail(
            QStringLiteral("无法写入数据库“%1”：%2").arg(db.location().displayName(), tx.errorText()));
    if (clearExisting) {
        for (const QString &table : {QStringLiteral("data1"), QStringLiteral("data")}) {
            if (!q.exec(QStringLiteral("DELETE FROM ") + table))
                return fail(QStringLiteral("无法清空数据表 %1：%2").arg(table, q.lastError().text()));
        }
    }
    // A million rows go in several times faster without indexes to keep in
    // order: they are dropped here and each is built once, sorted, after the
    // rows are in, by the same statements that give a new database its own.
    const QStringList indexes = Schema::indexStatements();
    for (const QString &statement : indexes) {
        // "CREATE INDEX IF NOT EXISTS <name> ON ..."
        if (!q.exec(QStringLiteral("DROP INDEX IF EXISTS ") + statement.section(u' ', 5, 5)))
            return fail(QStringLiteral("无法删除索引：%1").arg(q.lastError().text()));
    }
    if (!writeStock(db) || !writeSales(db))
        return false;
    for (qsizetype i = 0; i < indexes.size(); ++i) {
        report(QStringLiteral("建立索引"), i, indexes.size());
        if (!q.exec(indexes.at(i)))
            return fail(QStringLiteral("无法建立索引：%1").arg(q.lastError().text()));
    }
    report(QStringLiteral("建立索引"), indexes.size(), indexes.size());
    report(QStringLiteral("提交"), 0, 1);
    if (!tx.commit())
        return fail(
            QStringLiteral("无法保存到数据库“%1”：%2").arg(db.location().displayName(), tx.errorText()));
    report(QStringLiteral("提交"), 1, 1);
    return true;
}

namespace {

const QStringList &sqliteCompanions()
{
    static const QStringList suffixes{QString(), QStringLiteral("-wal"), QStringLiteral("-shm"),
                                      QStringLiteral("-journal")};
    return suffixes;
}

bool removeSqliteFile(const QString &path)
{
    bool ok = true;
    for (const QString &suffix : sqliteCompanions()) {
        if (QFileInfo::exists(path + suffix))
            ok = QFile::remove(path + suffix) && ok;
    }
    return ok;
}

} // namespace

bool DemoShopGenerator::createShop(const DatabaseLocation &target, bool force)
{
    if (!target.errorText.isEmpty())
        return fail(target.errorText);
    const bool sqlite = !target.isPostgreSQL();
    const QString file = target.displayName();
    DatabaseLocation location = target;
    if (sqlite) {
        const QFileInfo info(target.path);
        if (info.exists() && !info.isFile())
            return fail(QStringLiteral("“%1”不是一个文件。").arg(file));
        if (info.exists() && !force)
            return fail(QStringLiteral("文件“%1”已存在；要覆盖它，请加 --force。").arg(file));
        // The shop is built beside the target and replaces it only when
        // complete: a failed run leaves an old file as it was.
        location.path = target.path + QStringLiteral(".part");
        location.explicitlyNamed = false;
        if (!removeSqliteFile(location.path))
            return fail(QStringLiteral("无法删除上次未完成的文件“%1”。").arg(location.displayName()));
    }
    if (!makePlan())
        return false;

    bool ok = false;
    {
        static int connections = 0;
        Database db(location, QStringLiteral("lwjxc_datagen_%1").arg(++connections));
        if (!db.isOpen())
            return fail(db.errorText());
        QSqlQuery q(db.connection());
        if (sqlite) {
            // A new file nobody else has open: no journal and no syncing
            // while it fills; if filling fails the file is removed below.
            q.exec(QStringLiteral("PRAGMA journal_mode=OFF"));
            q.exec(QStringLiteral("PRAGMA synchronous=OFF"));
            q.exec(QStringLiteral("PRAGMA cache_size=-262144"));
        }
        ok = fill(db, force && !sqlite);
        if (ok && sqlite) {
            // From here on the file is like any the program made itself.
            report(QStringLiteral("整理数据库"), 0, 1);
            if (!q.exec(QStringLiteral("PRAGMA journal_mode=WAL")) || !q.next() ||
                q.value(0).toString().compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0)
                ok = fail(
                    QStringLiteral("无法把数据库“%1”切换到 WAL 模式：%2").arg(file, q.lastError().text()));
            q.finish();
            q.exec(QStringLiteral("PRAGMA synchronous=FULL"));
        }
        if (ok) {
            // On the server VACUUM also marks every page as visible to all, as
            // the server's own background vacuum does a minute later: until
            // then the sums read from an index visit every row in the table.
            if (!q.exec(sqlite ? QStringLiteral("ANALYZE") : QStringLiteral("VACUUM ANALYZE")))
                ok = fail(QStringLiteral("无法整理数据库“%1”：%2").arg(file, q.lastError().text()));
            report(QStringLiteral("整理数据库"), 1, 1);
        }
        q = QSqlQuery();
    } // closing the last connection folds the WAL back into the file
    if (!sqlite)
        return ok;
    if (ok && QFileInfo::exists(location.path + QStringLiteral("-wal")))
        ok = fail(QStringLiteral("数据库“%1”没有正常关闭。").arg(location.displayName()));
    if (ok && !removeSqliteFile(target.path))
        ok = fail(QStringLiteral("无法删除已有的文件“%1”。").arg(file));
    if (ok && !QFile::rename(location.path, target.path))
        ok = fail(QStringLiteral("无法把“%1”改名为“%2”。").arg(location.displayName(), file));
    if (!ok)
        removeSqliteFile(location.path);
    return ok;
}
