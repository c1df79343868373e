// GBToBig5 / Big5ToGB throughput beside `iconv -f GBK -t BIG5` / `iconv -f BIG5 -t GBK` on the same input.
// The input is forum-like mixed text (simplified Chinese words, punctuation, code and ASCII) made from a
// fixed vocabulary with a seeded generator, at least 50 MB, written to a temporary folder and removed after.
#include "codeconv/gbbig.h"

#include <unicode/ucnv.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kInputBytes = 52u * 1024 * 1024;

const char *const kWords[] = {
    "程序",   "数据库", "连接",   "查询", "字段", "记录", "控件", "窗体", "事件", "属性",   "方法", "问题", "解决",
    "为什么", "怎么",   "如何",   "请问", "谢谢", "大家", "帮忙", "一下", "这个", "那个",   "我们", "你们", "他们",
    "编译",   "错误",   "运行",   "时候", "出现", "提示", "内存", "指针", "数组", "字符串", "转换", "简体", "繁体",
    "中文",   "显示",   "乱码",   "编码", "文件", "目录", "打开", "保存", "关闭", "删除",   "修改", "更新", "版本",
    "网络",   "服务器", "客户端", "发送", "接收", "线程", "消息", "循环", "函数", "参数",   "返回", "结果", "类型",
    "对象",   "继承",   "接口",   "组件", "安装", "下载", "资料", "论坛", "帖子", "回复",   "作者", "发表", "标题",
    "内容",   "时间",   "日期",   "用户", "密码", "登录", "注册", "系统", "操作", "设置",   "选项", "菜单", "按钮",
    "图片",   "打印",   "报表",   "速度", "效率", "优化", "测试", "调试", "断点", "异常",   "处理", "释放", "创建",
    "已经",   "可以",   "没有",   "应该", "因为", "所以", "但是", "如果", "还是", "就是",   "比较", "非常", "经验",
    "国家",   "发展",   "机器",   "电脑", "软件", "硬件", "开发", "工具", "环境", "语言",   "代码", "例子", "说明",
    "后来",   "台湾",   "干净",   "发现", "头发", "范围", "里面", "几个", "一样", "东西",   "觉得", "实现", "办法",
};
const char *const kAscii[] = {
    "Delphi",
    "ADO",
    "TQuery",
    "SQL",
    "select * from FORUM_TOPICS",
    "Button1Click",
    "ShowMessage('OK');",
    "begin",
    "end;",
    "if Assigned(Form1) then",
    "Win2000",
    "VB6",
    "C++Builder",
    "BDE",
    "Access",
    "OLE",
    "http://",
    "2003",
    "10",
    "TStringList.Create",
    "WM_PAINT",
    "Unicode",
    "GB2312",
    "Big5",
    "IE6",
};
const char *const kPunctuation[] = {"，", "。", "？", "！", "：", "、", "（", "）", "“", "”", " ", " ", "\r\n"};

std::string toGBK(const char *utf8)
{
    char buffer[256];
    UErrorCode status = U_ZERO_ERROR;
    const int32_t n = ucnv_convert("windows-936-2000", "UTF-8", buffer, sizeof buffer, utf8, -1, &status);
    if (U_FAILURE(status)) {
        std::fprintf(stderr, "ICU: %s\n", u_errorName(status));
        std::exit(1);
    }
    return std::string(buffer, static_cast<std::size_t>(n));
}

std::string makeGBText()
{
    std::vector<std::string> words, ascii, punctuation;
    for (const char *w : kWords)
        words.push_back(toGBK(w));
    for (const char *w : kAscii)
        ascii.push_back(w);
    for (const char *p : kPunctuation)
        punctuation.push_back(toGBK(p));
    std::mt19937 random(20031127);
    std::uniform_int_distribution<std::size_t> pickWord(0, words.size() - 1), pickAscii(0, ascii.size() - 1),
        pickPunctuation(0, punctuation.size() - 1);
    std::uniform_int_distribution<int> percent(0, 99);
    std::string text;
    text.reserve(kInputBytes + 256);
    while (text.size() < kInputBytes) {
        const int p = percent(random);
        if (p < 72)
            text += words[pickWord(random)];
        else if (p < 85)
            text += ascii[pickAscii(random)] + ' ';
        else
            text += punctuation[pickPunctuation(random)];
    }
    return text;
}

// The text cut into posts of about 2 KB at line ends, as the reader converts it: one call per post.
std::vector<std::string> splitPosts(const std::string &text)
{
    std::vector<std::string> posts;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find("\r\n", start + 1500);
        end = end == std::string::npos ? text.size() : end + 2;
        posts.push_back(text.substr(start, end - start));
        start = end;
    }
    return posts;
}

double seconds(const std::chrono::steady_clock::time_point &start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Best of three wall-clock runs.
template <typename F> double best(F run)
{
    double fastest = 1e30;
    for (int i = 0; i < 3; ++i) {
        const auto start = std::chrono::steady_clock::now();
        run();
        fastest = std::min(fastest, seconds(start));
    }
    return fastest;
}

double runCommand(const std::string &command)
{
    return best([&] {
        if (std::system(command.c_str()) != 0) {
            std::fprintf(stderr, "failed: %s\n", command.c_str());
            std::exit(1);
        }
    });
}

void writeFile(const std::filesystem::path &path, const std::string &bytes)
{
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

} // namespace

int main()
{
    velm::InitCodeTables();
    const std::string gb = makeGBText();
    const std::string big5 = velm::GBToBig5(gb);
    const double mb = static_cast<double>(gb.size()) / 1e6;

    std::string dirTemplate = (std::filesystem::temp_directory_path() / "gbbig_bench.XXXXXX").string();
    if (!mkdtemp(dirTemplate.data()))
        return 1;
    const std::filesystem::path dir = dirTemplate;
    const auto gbFile = dir / "input.gbk", big5File = dir / "input.big5";
    writeFile(gbFile, gb);
    writeFile(big5File, big5);

    const std::vector<std::string> gbPosts = splitPosts(gb), big5Posts = splitPosts(big5);
    std::size_t sink = 0;
    auto perPost = [&](const std::vector<std::string> &posts, std::string (*convert)(std::string_view)) {
        return best([&] {
            for (const std::string &post : posts)
                sink += convert(post).size();
        });
    };
    const double ourGBPosts = perPost(gbPosts, velm::GBToBig5);
    const double ourBig5Posts = perPost(big5Posts, velm::Big5ToGB);
    // One 50 MB call mostly measures the kernel faulting in its fresh 50 MB result; the post and stream
    // rows are the reader's real uses.
    const double ourGB = best([&] { sink += velm::GBToBig5(gb).size(); });
    const double ourBig5 = best([&] { sink += velm::Big5ToGB(big5).size(); });
    auto streamFile = [&](const std::filesystem::path &in, velm::CodeDirection direction) {
        return best([&] {
            std::ifstream input(in, std::ios::binary);
            std::ofstream output("/dev/null", std::ios::binary);
            velm::convertStream(input, output, direction);
        });
    };
    const double ourGBStream = streamFile(gbFile, velm::CodeDirection::GBToBig5);
    const double ourBig5Stream = streamFile(big5File, velm::CodeDirection::Big5ToGB);
    // -c: simplified characters that Big5 lacks (most of them) are skipped instead of stopping iconv.
    const double iconvGB = runCommand("iconv -c -f GBK -t BIG5 '" + gbFile.string() + "' > /dev/null");
    const double iconvBig5 = runCommand("iconv -f BIG5 -t GBK '" + big5File.string() + "' > /dev/null");
    std::filesystem::remove_all(dir);

    std::printf("input: %.1f MB of mixed GB text (%.1f MB as Big5), %zu posts; best of 3 runs\n", mb,
                static_cast<double>(big5.size()) / 1e6, gbPosts.size());
    std::printf("%-44s %10s %10s\n", "", "MB/s", "x iconv");
    auto row = [&](const char *name, double s, double iconvSeconds) {
        std::printf("%-44s %10.1f %10.2f\n", name, mb / s, iconvSeconds / s);
    };
    row("GBToBig5, one call per post", ourGBPosts, iconvGB);
    row("GBToBig5, whole input in one call", ourGB, iconvGB);
    row("GBToBig5 stream, file -> /dev/null", ourGBStream, iconvGB);
    row("iconv -c -f GBK -t BIG5, file -> /dev/null", iconvGB, iconvGB);
    row("Big5ToGB, one call per post", ourBig5Posts, iconvBig5);
    row("Big5ToGB, whole input in one call", ourBig5, iconvBig5);
    row("Big5ToGB stream, file -> /dev/null", ourBig5Stream, iconvBig5);
    row("iconv -f BIG5 -t GBK, file -> /dev/null", iconvBig5, iconvBig5);
    return sink == 0;
}
