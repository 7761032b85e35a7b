<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN" sourcelanguage="en">
<context>
    <name>common</name>
    <message>
        <source>NC3000 (921600 bit/s, the default) or 2000系列 (also 2000, 230400 bit/s)</source>
        <translation>NC3000 (921600 bit/s, 默认) 或 2000系列 (也可写 2000, 230400 bit/s)</translation>
    </message>
    <message>
        <source>usage</source>
        <translation>用法</translation>
    </message>
    <message>
        <source>OPTIONS</source>
        <translation>选项</translation>
    </message>
    <message>
        <source>SUBCOMMAND</source>
        <translation>命令</translation>
    </message>
    <message>
        <source>REQUIRED</source>
        <translation>必填</translation>
    </message>
    <message>
        <source>Positionals</source>
        <translation>参数</translation>
    </message>
    <message>
        <source>Needs</source>
        <translation>需要</translation>
    </message>
    <message>
        <source>Excludes</source>
        <translation>不能同时用</translation>
    </message>
    <message>
        <source>Options</source>
        <translation>选项</translation>
    </message>
    <message>
        <source>Subcommands</source>
        <translation>命令</translation>
    </message>
    <message>
        <source>Print this help message and exit</source>
        <translation>显示本帮助并退出</translation>
    </message>
    <message>
        <source>print the version and exit</source>
        <translation>显示版本号并退出</translation>
    </message>
</context>
<context>
    <name>tolvar</name>
    <message>
        <source>Backs up and repairs the handheld&apos;s NOR and NAND flash over a serial cable.
With no arguments Tolvar opens its window.</source>
        <translation>通过串口线备份和修复文曲星的 Nor 和 Nand 闪存。
不带参数时 Tolvar 打开窗口。</translation>
    </message>
    <message>
        <source>back up the NOR flash into FILE</source>
        <translation>把文曲星的 Nor 闪存备份到 FILE</translation>
    </message>
    <message>
        <source>back up the NAND flash into FILE</source>
        <translation>把文曲星的 Nand 闪存备份到 FILE</translation>
    </message>
    <message>
        <source>write pages of a NOR image back into the handheld</source>
        <translation>修复: 把 Nor 映像的页写回文曲星</translation>
    </message>
    <message>
        <source>write blocks of a NAND image back into the handheld</source>
        <translation>修复: 把 Nand 映像的块写回文曲星</translation>
    </message>
    <message>
        <source>compare the handheld&apos;s NOR flash with FILE as the handheld sends it; writes nothing</source>
        <translation>让文曲星发送 Nor 闪存, 与 FILE 比较; 什么也不写入</translation>
    </message>
    <message>
        <source>compare the handheld&apos;s NAND flash with FILE as the handheld sends it; writes nothing</source>
        <translation>让文曲星发送 Nand 闪存, 与 FILE 比较; 什么也不写入</translation>
    </message>
    <message>
        <source>compare two NOR or two NAND images page by page or block by block</source>
        <translation>逐页比较两个 Nor 映像, 或逐块比较两个 Nand 映像</translation>
    </message>
    <message>
        <source>correct a NOR image&apos;s CRC and NorCheckSum in place</source>
        <translation>直接在文件里校正 Nor 映像的 CRC 和 NorCheckSum</translation>
    </message>
    <message>
        <source>list the serial ports present: the name for --port, the device, the USB ids, the description</source>
        <translation>列出电脑上现有的串口: --port 用的名字、设备、USB 编号和说明</translation>
    </message>
    <message>
        <source>comN, a device (a name with a slash is a path), or auto: the only USB adapter</source>
        <translation>comN、设备 (带斜杠的名字是路径), 或 auto: 唯一插着的 USB 转串口</translation>
    </message>
    <message>
        <source>answer every question No and do not wait for Enter</source>
        <translation>所有问题都回答&quot;否&quot;, 也不等待回车</translation>
    </message>
    <message>
        <source>a comma list of 00, 01 and 02- (pages 02 to the last, the default; corrects the image&apos;s check values first)</source>
        <translation>用逗号分隔的 00、01、02- (02- 是02页到最后页, 默认; 先校正映像里的校验值)</translation>
    </message>
    <message>
        <source>stay at 115200 bit/s throughout</source>
        <translation>低速修复: 始终用 115200 bit/s</translation>
    </message>
    <message>
        <source>format the handheld after the repair</source>
        <translation>修复后格式化文曲星</translation>
    </message>
    <message>
        <source>the NOR image to write (.nor)</source>
        <translation>Nor 映像文件 (.nor)</translation>
    </message>
    <message>
        <source>the NAND image to write (.nand)</source>
        <translation>Nand 映像文件 (.nand)</translation>
    </message>
    <message>
        <source>the blocks to write, counted from 1 (all blocks by default)</source>
        <translation>要写入的块, 从 1 数起 (默认全部)</translation>
    </message>
    <message>
        <source>a comma list of 00, 01 and 02- (pages 02 to the last): compare only those (all pages of FILE by default)</source>
        <translation>用逗号分隔的 00、01、02- (02- 是02页到最后页): 只比较这些页 (默认比较 FILE 的全部页)</translation>
    </message>
    <message>
        <source>the NOR image to compare with (.nor)</source>
        <translation>用来比较的 Nor 映像 (.nor)</translation>
    </message>
    <message>
        <source>compare only the blocks of FILE that repair-nand --blocks FIRST-LAST writes (all blocks by default)</source>
        <translation>只比较 FILE 中 repair-nand --blocks FIRST-LAST 写入的那些块 (默认全部)</translation>
    </message>
    <message>
        <source>the NAND image to compare with (.nand)</source>
        <translation>用来比较的 Nand 映像 (.nand)</translation>
    </message>
    <message>
        <source>the first image: a NOR image, or a NAND image (its blocks are counted in the lines)</source>
        <translation>第一个映像: Nor 映像或 Nand 映像 (输出里的块号按它数)</translation>
    </message>
    <message>
        <source>the second image, of A&apos;s kind</source>
        <translation>第二个映像, 与 A 同一类</translation>
    </message>
    <message>
        <source>check a NOR image&apos;s CRC and NorCheckSum, or every page and block of a NAND image; exit 0 when all is sound</source>
        <translation>用映像自己的校验检查它: Nor 映像的 CRC 和 NorCheckSum, Nand 映像的每一页和每一块; 全部正确时退出状态为 0</translation>
    </message>
    <message>
        <source>the image: a NOR image (.nor) or a NAND image (.nand)</source>
        <translation>映像: Nor 映像 (.nor) 或 Nand 映像 (.nand)</translation>
    </message>
    <message>
        <source>the NOR image (.nor)</source>
        <translation>Nor 映像 (.nor)</translation>
    </message>
    <message>
        <source>answer Yes to the first N questions whether to start again (0)</source>
        <translation>前 N 个&quot;是否重新开始&quot;的问题自动回答&quot;是&quot; (0)</translation>
    </message>
    <message>
        <source>start with the blocks of the NAND image PARTIAL (a broken-off backup&apos;s x.partial.nand) kept: a handheld that starts at the block after them continues them; PARTIAL is only read</source>
        <translation>先保留 Nand 映像 PARTIAL (中断的备份留下的 x.partial.nand) 中的块: 文曲星从它们之后的一块开始发送时, 备份接着这些块继续; PARTIAL 只读不写</translation>
    </message>
    <message>
        <source>join NAND images whose logical blocks follow on or overlap into OUT (blocks held twice must agree)</source>
        <translation>把逻辑块前后相接或重叠的 Nand 映像合并为 OUT (两个映像都有的块必须相同)</translation>
    </message>
    <message>
        <source>two or more NAND images, in any order, then OUT, the NAND image to write</source>
        <translation>两个或更多 Nand 映像, 顺序不限, 最后是要写入的 Nand 映像 OUT</translation>
    </message>
</context>
<context>
    <name>corvane</name>
    <message>
        <source>Converts NAND images to data files and back, and checks NAND images.
With no arguments Corvane opens its window.</source>
        <translation>把 Nand 映像转换成数据文件或者反过来, 并检查 Nand 映像。
不带参数时 Corvane 打开窗口。</translation>
    </message>
    <message>
        <source>NAND image -&gt; data file (the page data alone)</source>
        <translation>Nand 映像 -&gt; 数据文件 (只留页数据)</translation>
    </message>
    <message>
        <source>data file -&gt; NAND image with rebuilt spare areas</source>
        <translation>数据文件 -&gt; Nand 映像 (重新计算每页的校验)</translation>
    </message>
    <message>
        <source>check every page&apos;s spare area of a NAND image</source>
        <translation>检查 Nand 映像每一页的校验 (备用区)</translation>
    </message>
    <message>
        <source>Exit status: 0 a clean image; with --repair 3 when bits were corrected in the copy and nothing is left, 1 when anything is left; 1 a refusal or failure, 2 a usage error.</source>
        <translation>退出状态: 0 映像没有问题; 加 --repair 时, 副本里纠正了错位而没有剩下问题是 3, 还有问题是 1; 被拒绝或失败是 1, 命令写错了是 2。</translation>
    </message>
    <message>
        <source>replace an existing target</source>
        <translation>覆盖已有的目标文件</translation>
    </message>
    <message>
        <source>the NAND image (.nand)</source>
        <translation>Nand 映像 (.nand)</translation>
    </message>
    <message>
        <source>the data file to write (.dat)</source>
        <translation>要生成的数据文件 (.dat)</translation>
    </message>
    <message>
        <source>the starting logical block number, hexadecimal (2, C32 or C32h)</source>
        <translation>起始逻辑块号, 16进制 (如 2、C32 或 C32h)</translation>
    </message>
    <message>
        <source>the version byte as two digits M.N (3.1 by default)</source>
        <translation>Nand版本号, 两位数字 M.N (默认 3.1)</translation>
    </message>
    <message>
        <source>the data file (.dat)</source>
        <translation>数据文件 (.dat)</translation>
    </message>
    <message>
        <source>the NAND image to write (.nand)</source>
        <translation>要生成的 Nand 映像 (.nand)</translation>
    </message>
    <message>
        <source>write a copy to OUT with every located single-bit error corrected</source>
        <translation>另存一份到 OUT, 其中能确定位置的单个错位都已纠正</translation>
    </message>
    <message>
        <source>the corrected copy to write (with --repair)</source>
        <translation>纠正后的副本 (和 --repair 一起用)</translation>
    </message>
</context>
<context>
    <name>handheld-sim</name>
    <message>
        <source>Plays the handheld on a pseudo-terminal; prints the device node to open on its first line.</source>
        <translation>在伪终端上扮演文曲星; 输出的第一行是要打开的设备。</translation>
    </message>
    <message>
        <source>NOR flash from a NOR image (default: generated, see --nor-pages)</source>
        <translation>Nor 闪存的内容取自这个 Nor 映像 (默认: 自动生成, 见 --nor-pages)</translation>
    </message>
    <message>
        <source>NAND flash from a NAND image (default: generated, see --nand-blocks)</source>
        <translation>Nand 闪存的内容取自这个 Nand 映像 (默认: 自动生成, 见 --nand-blocks)</translation>
    </message>
    <message>
        <source>pages of the generated NOR flash (8)</source>
        <translation>自动生成的 Nor 闪存的页数 (8)</translation>
    </message>
    <message>
        <source>blocks of the generated NAND flash (4)</source>
        <translation>自动生成的 Nand 闪存的块数 (4)</translation>
    </message>
    <message>
        <source>logical block number of the first generated NAND block (2)</source>
        <translation>自动生成的第一个 Nand 块的逻辑块号 (2)</translation>
    </message>
    <message>
        <source>also make PATH a symbolic link to the device (for TOLVAR_COM1)</source>
        <translation>另外在 PATH 建一个指向设备的符号链接 (给 TOLVAR_COM1 用)</translation>
    </message>
    <message>
        <source>write the NOR flash to FILE at exit</source>
        <translation>退出时把 Nor 闪存存到 FILE</translation>
    </message>
    <message>
        <source>write the NAND flash to FILE at exit</source>
        <translation>退出时把 Nand 闪存存到 FILE</translation>
    </message>
    <message>
        <source>send a backup&apos;s hello only when Enter is pressed here</source>
        <translation>在这里按回车时才开始发送备份</translation>
    </message>
    <message>
        <source>the flash a backup sends: nor, nand, or both (default), which offers one after the other and may spoil a backup whose computer is slow to take its offer</source>
        <translation>备份时发送哪个闪存: nor、nand 或 both (默认: 轮流提供两个, 电脑接得太慢时可能弄坏备份)</translation>
    </message>
    <message>
        <source>silence in ms after the computer opens the line before the hello (300)</source>
        <translation>电脑打开串口后, 安静多少毫秒再开始备份 (300)</translation>
    </message>
    <message>
        <source>print what happens (&quot;frame K&quot; after every frame)</source>
        <translation>显示经过 (每帧之后显示 &quot;frame K&quot;)</translation>
    </message>
    <message>
        <source>The line (a cable and a USB serial adapter)</source>
        <translation>线路 (串口线和 USB 转串口)</translation>
    </message>
    <message>
        <source>pace every byte in both directions at the line&apos;s speed, 10 bits a byte</source>
        <translation>两个方向都按线路的速度逐字节传送, 每字节 10 位</translation>
    </message>
    <message>
        <source>what the handheld sends reaches the computer in bursts, as through an adapter with a latency timer of MS ms: a burst leaves when 62 bytes wait or MS ms after its first byte</source>
        <translation>像延迟计时器为 MS 毫秒的转接头那样, 文曲星发的数据成批到达电脑: 攒够 62 字节, 或第一个字节之后 MS 毫秒, 就发出一批</translation>
    </message>
    <message>
        <source>Faults (first attempt after each opening of the line; frames count from 0)</source>
        <translation>故障 (每次打开串口后的第一次尝试; 帧从 0 数起)</translation>
    </message>
    <message>
        <source>backups: wrong header check in frame K (K = number of frames: the end frame)</source>
        <translation>备份: 第 K 帧的帧头校验错 (K 等于帧数时是结束帧)</translation>
    </message>
    <message>
        <source>backups: wrong payload check in frame K</source>
        <translation>备份: 第 K 帧的数据校验错</translation>
    </message>
    <message>
        <source>backups and repairs: nothing more from frame K on</source>
        <translation>备份和修复: 从第 K 帧起不再出声</translation>
    </message>
    <message>
        <source>repairs: answer 15 (check error) before frame K</source>
        <translation>修复: 在第 K 帧之前回答 15 (校验错)</translation>
    </message>
    <message>
        <source>backups and repairs: one bit of frame K is corrupted on the line</source>
        <translation>备份和修复: 第 K 帧在线路上错一位</translation>
    </message>
    <message>
        <source>backups: N junk bytes before the hello</source>
        <translation>备份: 开始前先发 N 个无用字节</translation>
    </message>
    <message>
        <source>say nothing for --stall-ms after frame K, a slow moment within the time-outs</source>
        <translation>第 K 帧之后停顿 --stall-ms 毫秒 (慢, 但不到超时)</translation>
    </message>
    <message>
        <source>how long --stall-at stays silent, in ms (500)</source>
        <translation>--stall-at 停顿多少毫秒 (500)</translation>
    </message>
    <message>
        <source>INT:INT in [1 - 256]</source>
        <translation>整数 1-256</translation>
    </message>
    <message>
        <source>INT:INT in [1 - 4095]</source>
        <translation>整数 1-4095</translation>
    </message>
    <message>
        <source>INT:INT in [0 - 60000]</source>
        <translation>整数 0-60000</translation>
    </message>
    <message>
        <source>MS:INT in [0 - 1000]</source>
        <translation>MS:整数 0-1000</translation>
    </message>
    <message>
        <source>INT:INT in [0 - 1048576]</source>
        <translation>整数 0-1048576</translation>
    </message>
    <message>
        <source>INT:INT in [0 - 10000]</source>
        <translation>整数 0-10000</translation>
    </message>
    <message>
        <source>a NAND backup started again (after a failure, also in a later opening of the line) begins at the first block the computer had not confirmed in full, as a user picks it on the handheld; one that sent its end frame starts the next from the beginning</source>
        <translation>重新开始的 Nand 备份 (失败之后, 也包括串口下一次打开时) 从电脑尚未完全确认的第一块开始, 就像用户在文曲星上选的那样; 已发出结束帧的备份, 下一次从头开始</translation>
    </message>
    <message>
        <source>flip each bit the handheld sends with probability P, independently (a bad cable; 0: none)</source>
        <translation>文曲星发出的每一位各自以概率 P 翻转 (不好的电缆; 0: 不翻转)</translation>
    </message>
    <message>
        <source>seed of --ber&apos;s draws, so that a run can be repeated (1)</source>
        <translation>--ber 随机抽取的种子, 使一次运行可以重复 (1)</translation>
    </message>
    <message>
        <source>P:FLOAT in [0 - 1]</source>
        <translation>P:小数 0-1</translation>
    </message>
</context>
</TS>
