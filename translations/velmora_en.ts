<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="zh_CN">
<context>
    <name>CliSession</name>
    <message>
        <source>设备已是该配置，未下发</source>
        <translation>The device holds this configuration already; nothing was written</translation>
    </message>
    <message>
        <source>已备份设备配置: %s</source>
        <translation>The device&apos;s configuration was backed up: %s</translation>
    </message>
    <message>
        <source>进度: %d%%</source>
        <translation>Progress: %d%%</translation>
    </message>
    <message>
        <source>没有要保存的数据</source>
        <translation>There is no data to save</translation>
    </message>
    <message>
        <source>TCP连接失败: %s:%d</source>
        <translation>TCP connection failed: %s:%d</translation>
    </message>
    <message>
        <source>串口打开失败: %s</source>
        <translation>Serial port open failed: %s</translation>
    </message>
    <message>
        <source>发送读取设备地址命令失败</source>
        <translation>Sending the read-address command failed</translation>
    </message>
    <message>
        <source>发送修改设备地址命令失败</source>
        <translation>Sending the change-address command failed</translation>
    </message>
</context>
<context>
    <name>ConnectLogic</name>
    <message>
        <source>断开</source>
        <translation>Disconnect</translation>
    </message>
    <message>
        <source>波特率</source>
        <translation>baud rate</translation>
    </message>
    <message>
        <source>数据位</source>
        <translation>data bits</translation>
    </message>
    <message>
        <source>停止位</source>
        <translation>stop bits</translation>
    </message>
    <message>
        <source>校验位</source>
        <translation>parity</translation>
    </message>
    <message>
        <source>、</source>
        <translation>, </translation>
    </message>
    <message>
        <source>串口参数未生效（%s）</source>
        <translation>Serial settings not applied (%s)</translation>
    </message>
    <message>
        <source>串口意外断开: %s</source>
        <translation>Serial port lost unexpectedly: %s</translation>
    </message>
    <message>
        <source>串口意外断开</source>
        <translation>Serial port lost unexpectedly</translation>
    </message>
    <message>
        <source>原因: %s</source>
        <translation>Reason: %s</translation>
    </message>
    <message>
        <source>（当前用户无权访问该串口，请将用户加入 dialout 组后重新登录）</source>
        <translation> (the current user may not access this serial port; add the user to the dialout group and log in again)</translation>
    </message>
    <message>
        <source>（串口已被其他程序占用）</source>
        <translation> (another program is using the serial port)</translation>
    </message>
    <message>
        <source>（该设备不是串口）</source>
        <translation> (this device is not a serial port)</translation>
    </message>
    <message>
        <source>原因: 无法解析主机名</source>
        <translation>Reason: the host name cannot be resolved</translation>
    </message>
    <message>
        <source>原因: 该主机名没有 IPv4 地址</source>
        <translation>Reason: the host name has no IPv4 address</translation>
    </message>
    <message>
        <source>原因: 主机名解析超时</source>
        <translation>Reason: resolving the host name timed out</translation>
    </message>
    <message>
        <source>原因: 主机名解析失败</source>
        <translation>Reason: resolving the host name failed</translation>
    </message>
    <message>
        <source>（该端口没有服务在监听，请检查端口号）</source>
        <translation> (nothing is listening on that port; check the port number)</translation>
    </message>
    <message>
        <source>（设备没有应答，请检查 IP 地址和网络连接）</source>
        <translation> (the device does not answer; check the IP address and the network connection)</translation>
    </message>
    <message>
        <source>（网络不可达，请检查本机的网络设置）</source>
        <translation> (network unreachable; check this computer's network settings)</translation>
    </message>
    <message>
        <source>已刷新串口列表</source>
        <translation>Serial port list refreshed</translation>
    </message>
    <message>
        <source>已关闭串口</source>
        <translation>Serial port closed</translation>
    </message>
    <message>
        <source>TCP已断开</source>
        <translation>TCP disconnected</translation>
    </message>
    <message>
        <source>请输入 IP 地址</source>
        <translation>Please enter an IP address</translation>
    </message>
    <message>
        <source>端口号无效 (1-65535)</source>
        <translation>Invalid port number (1-65535)</translation>
    </message>
    <message>
        <source>正在连接: %s:%d...</source>
        <translation>Connecting: %s:%d...</translation>
    </message>
    <message>
        <source>TCP已连接：%s:%d</source>
        <translation>TCP connected: %s:%d</translation>
    </message>
    <message>
        <source>TCP连接成功: %s</source>
        <translation>TCP connection established: %s</translation>
    </message>
    <message>
        <source>TCP连接失败</source>
        <translation>TCP connection failed</translation>
    </message>
    <message>
        <source>TCP连接失败: %s</source>
        <translation>TCP connection failed: %s</translation>
    </message>
    <message>
        <source>请选择串口</source>
        <translation>Please choose a serial port</translation>
    </message>
    <message>
        <source>无效串口</source>
        <translation>Invalid serial port</translation>
    </message>
    <message>
        <source>正在打开串口: %s (%d,%d,%d,%d)...</source>
        <translation>Opening serial port: %s (%d,%d,%d,%d)...</translation>
    </message>
    <message>
        <source>串口已打开：%s (%d,%d,%d,%d)</source>
        <translation>Serial port open: %s (%d,%d,%d,%d)</translation>
    </message>
    <message>
        <source>串口打开成功: %s</source>
        <translation>Serial port opened: %s</translation>
    </message>
    <message>
        <source>串口打开失败</source>
        <translation>Serial port open failed</translation>
    </message>
    <message>
        <source>串口打开失败: %s</source>
        <translation>Serial port open failed: %s</translation>
    </message>
    <message>
        <source>请先连接设备</source>
        <translation>Please connect to the device first</translation>
    </message>
    <message>
        <source>发送读取设备地址命令</source>
        <translation>Read-address command sent</translation>
    </message>
    <message>
        <source>发送读取设备地址命令失败</source>
        <translation>Sending the read-address command failed</translation>
    </message>
    <message>
        <source>请输入有效的设备地址 (1-255)</source>
        <translation>Please enter a valid device address (1-255)</translation>
    </message>
    <message>
        <source>发送修改设备地址命令: %d</source>
        <translation>Change-address command sent: %d</translation>
    </message>
    <message>
        <source>发送修改设备地址命令失败</source>
        <translation>Sending the change-address command failed</translation>
    </message>
    <message>
        <source>请先断开连接</source>
        <translation>Please disconnect first</translation>
    </message>
    <message>
        <source>已填入扫描到的地址: %s</source>
        <translation>Scanned address filled in: %s</translation>
    </message>
    <message>
        <source>TCP连接断开</source>
        <translation>TCP connection closed</translation>
    </message>
    <message>
        <source>TCP连接意外断开</source>
        <translation>TCP connection lost unexpectedly</translation>
    </message>
    <message>
        <source>TCP连接已断开</source>
        <translation>TCP connection closed</translation>
    </message>
    <message>
        <source>接收到报文</source>
        <translation>Received</translation>
    </message>
    <message>
        <source>串口未打开</source>
        <translation>Serial port not open</translation>
    </message>
    <message>
        <source>连接</source>
        <translation>Connect</translation>
    </message>
    <message>
        <source>串口已断开</source>
        <translation>Serial port lost</translation>
    </message>
</context>
<context>
    <name>DialogCompare</name>
    <message>
        <source>与设备比较</source>
        <translation>Compare with device</translation>
    </message>
    <message>
        <source>当前配置与设备配置一致。</source>
        <translation>The current configuration is the same as the device's.</translation>
    </message>
    <message>
        <source>当前配置与设备配置有 %1 处不同（当前 → 设备）：</source>
        <translation>The current configuration differs from the device's in %1 places (current → device):</translation>
    </message>
    <message>
        <source>载入设备配置</source>
        <translation>Load device config</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
</context>
<context>
    <name>DialogConfiguration</name>
    <message>
        <source>状态：未连接</source>
        <translation>Status: not connected</translation>
    </message>
    <message>
        <source>空闲</source>
        <translation>Idle</translation>
    </message>
    <message>
        <source>读取配置</source>
        <translation>Read config</translation>
    </message>
    <message>
        <source>下发配置</source>
        <translation>Write config</translation>
    </message>
</context>
<context>
    <name>DialogConnect</name>
    <message>
        <source>串口</source>
        <translation>Serial</translation>
    </message>
    <message>
        <source>刷新</source>
        <translation>Refresh</translation>
    </message>
    <message>
        <source>连接</source>
        <translation>Connect</translation>
    </message>
    <message>
        <source>状态</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>读地址</source>
        <translation>Read address</translation>
    </message>
    <message>
        <source>写地址</source>
        <translation>Write address</translation>
    </message>
    <message>
        <source>串口连接</source>
        <translation>Serial connection</translation>
    </message>
    <message>
        <source>串口:</source>
        <translation>Port:</translation>
    </message>
    <message>
        <source>波特率:</source>
        <translation>Baud rate:</translation>
    </message>
    <message>
        <source>数据位:</source>
        <translation>Data bits:</translation>
    </message>
    <message>
        <source>停止位:</source>
        <translation>Stop bits:</translation>
    </message>
    <message>
        <source>校验位:</source>
        <translation>Parity:</translation>
    </message>
    <message>
        <source>网络连接</source>
        <translation>Network connection</translation>
    </message>
    <message>
        <source>IP地址:</source>
        <translation>IP address:</translation>
    </message>
    <message>
        <source>端口:</source>
        <translation>Port:</translation>
    </message>
    <message>
        <source>连接控制</source>
        <translation>Connection control</translation>
    </message>
    <message>
        <source>设备地址查询和修改</source>
        <translation>Device address query and change</translation>
    </message>
    <message>
        <source>设备地址:</source>
        <translation>Device address:</translation>
    </message>
    <message>
        <source>读写地址消息:</source>
        <translation>Address messages:</translation>
    </message>
</context>
<context>
    <name>DialogHelp</name>
    <message>
        <source>软件操作帮助</source>
        <translation>How to use the tool</translation>
    </message>
</context>
<context>
    <name>DialogList</name>
    <message>
        <source>配置数据单元列表显示（只查看不能修改）</source>
        <translation>Configuration data units (view only, cannot be edited)</translation>
    </message>
    <message>
        <source>序号</source>
        <translation>No.</translation>
    </message>
    <message>
        <source>类型</source>
        <translation>Kind</translation>
    </message>
    <message>
        <source>保持寄存器配置</source>
        <translation>Holding registers</translation>
    </message>
    <message>
        <source>参数</source>
        <translation>Parameters</translation>
    </message>
</context>
<context>
    <name>DialogLog</name>
    <message>
        <source>日志消息输出</source>
        <translation>Log messages</translation>
    </message>
    <message>
        <source>保存...</source>
        <translation>Save...</translation>
    </message>
    <message>
        <source>日志.txt</source>
        <translation>log.txt</translation>
    </message>
</context>
<context>
    <name>DialogMaintainRegister</name>
    <message>
        <source>输入寄存器起始地址，范围 0~65535，默认 500。</source>
        <translation>Start address of the input registers, 0 to 65535, default 500.</translation>
    </message>
    <message>
        <source>输入寄存器数量，范围 0~65535，默认 100。</source>
        <translation>Number of input registers, 0 to 65535, default 100.</translation>
    </message>
    <message>
        <source>位数：1 表示按位访问，16 表示按 16 位字访问。</source>
        <translation>Width: 1 means bit access, 16 means access as 16-bit words.</translation>
    </message>
    <message>
        <source>输出寄存器起始地址，范围 0~65535，默认 1000。</source>
        <translation>Start address of the output registers, 0 to 65535, default 1000.</translation>
    </message>
    <message>
        <source>输出寄存器数量，范围 0~65535，默认 100。</source>
        <translation>Number of output registers, 0 to 65535, default 100.</translation>
    </message>
    <message>
        <source>全局整数起始地址，范围 0~65535，默认 1600。</source>
        <translation>Start address of the global integers, 0 to 65535, default 1600.</translation>
    </message>
    <message>
        <source>全局整数数量，范围 0~65535，默认 100。</source>
        <translation>Number of global integers, 0 to 65535, default 100.</translation>
    </message>
    <message>
        <source>位数：半字表示 16 位，全字表示 32 位。</source>
        <translation>Width: half word means 16 bits, full word means 32 bits.</translation>
    </message>
    <message>
        <source>位变量起始地址，范围 0~65535，默认 2500。</source>
        <translation>Start address of the bit variables, 0 to 65535, default 2500.</translation>
    </message>
    <message>
        <source>位变量数量，范围 0~65535，默认 100。</source>
        <translation>Number of bit variables, 0 to 65535, default 100.</translation>
    </message>
    <message>
        <source>将界面上的修改写入本页数据缓冲。<byte value="xd"/>
注意：只有点击本按钮后，修改才会在下次下发配置时生效。</source>
        <translation>Takes the changes on the page into this page's data.<byte value="xd"/>
Note: only after clicking this button do the changes go to the device with the next write.</translation>
    </message>
    <message>
        <source>保持寄存器配置</source>
        <translation>Holding registers</translation>
    </message>
    <message>
        <source>保持寄存器使能</source>
        <translation>Holding registers enabled</translation>
    </message>
    <message>
        <source>修改确认</source>
        <translation>Confirm</translation>
    </message>
    <message>
        <source>使能</source>
        <translation>Enable</translation>
    </message>
    <message>
        <source>地址</source>
        <translation>Address</translation>
    </message>
    <message>
        <source>数量</source>
        <translation>Count</translation>
    </message>
    <message>
        <source>位数</source>
        <translation>Width</translation>
    </message>
    <message>
        <source>寄存器地址分布</source>
        <translation>Register address map</translation>
    </message>
</context>
<context>
    <name>DialogMonitor</name>
    <message>
        <source>文本文件 (*.txt);;所有文件 (*.*)</source>
        <translation>Text files (*.txt);;All files (*.*)</translation>
    </message>
    <message>
        <source>抓包文件 (*.pcap);;所有文件 (*.*)</source>
        <translation>Capture files (*.pcap);;All files (*.*)</translation>
    </message>
    <message>
        <source>时间 (ms)</source>
        <translation>Time (ms)</translation>
    </message>
    <message>
        <source>方向</source>
        <translation>Direction</translation>
    </message>
    <message>
        <source>报文</source>
        <translation>Frame</translation>
    </message>
    <message>
        <source>含义</source>
        <translation>Meaning</translation>
    </message>
    <message>
        <source>写入数据包：包 00/42，50 字节</source>
        <translation>Write packet: packet 00/42, 50 bytes</translation>
    </message>
    <message>
        <source>暂停</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>清空</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>保存...</source>
        <translation>Save...</translation>
    </message>
    <message>
        <source>保存抓包...</source>
        <translation>Save capture...</translation>
    </message>
    <message>
        <source>继续</source>
        <translation>Resume</translation>
    </message>
    <message>
        <source>通信监视.txt</source>
        <translation>monitor.txt</translation>
    </message>
    <message>
        <source>通信监视.pcap</source>
        <translation>monitor.pcap</translation>
    </message>
</context>
<context>
    <name>DialogNetAddress</name>
    <message>
        <source>网络参数配置</source>
        <translation>Network settings</translation>
    </message>
    <message>
        <source>网络地址</source>
        <translation>IP address</translation>
    </message>
    <message>
        <source>子网掩码</source>
        <translation>Subnet mask</translation>
    </message>
    <message>
        <source>网关地址</source>
        <translation>Gateway</translation>
    </message>
    <message>
        <source>修改确认</source>
        <translation>Confirm</translation>
    </message>
</context>
<context>
    <name>DialogNetServer</name>
    <message>
        <source>服务器端口列表</source>
        <translation>Server port list</translation>
    </message>
    <message>
        <source>服务器端口参数</source>
        <translation>Server port settings</translation>
    </message>
    <message>
        <source>添加</source>
        <translation>Add</translation>
    </message>
    <message>
        <source>删除</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>端口号</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>协议支持</source>
        <translation>Protocols</translation>
    </message>
    <message>
        <source>无协议</source>
        <translation>No protocol</translation>
    </message>
    <message>
        <source>55协议</source>
        <translation>55 protocol</translation>
    </message>
    <message>
        <source>Modbus RTU协议</source>
        <translation>Modbus RTU</translation>
    </message>
    <message>
        <source>Modbus TCP协议</source>
        <translation>Modbus TCP</translation>
    </message>
    <message>
        <source>程序下载</source>
        <translation>Program download</translation>
    </message>
    <message>
        <source>临时数据包</source>
        <translation>Temporary data packets</translation>
    </message>
</context>
<context>
    <name>DialogRawBytes</name>
    <message>
        <source>数据测试</source>
        <translation>Data test</translation>
    </message>
    <message>
        <source>清空</source>
        <translation>Clear</translation>
    </message>
</context>
<context>
    <name>DialogScan</name>
    <message>
        <source>扫描设备</source>
        <translation>Scan for devices</translation>
    </message>
    <message>
        <source>扫描</source>
        <translation>Scan</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>扫描到的设备:</source>
        <translation>Devices found:</translation>
    </message>
</context>
<context>
    <name>DialogSerialParam</name>
    <message>
        <source>数据口1</source>
        <translation>Data port 1</translation>
    </message>
    <message>
        <source>数据口列表</source>
        <translation>Data port list</translation>
    </message>
    <message>
        <source>数据口参数</source>
        <translation>Data port settings</translation>
    </message>
    <message>
        <source>添加</source>
        <translation>Add</translation>
    </message>
    <message>
        <source>删除</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>数据口</source>
        <translation>Data port</translation>
    </message>
    <message>
        <source>波特率</source>
        <translation>Baud rate</translation>
    </message>
    <message>
        <source>数据位</source>
        <translation>Data bits</translation>
    </message>
    <message>
        <source>停止位</source>
        <translation>Stop bits</translation>
    </message>
    <message>
        <source>校验位</source>
        <translation>Parity</translation>
    </message>
    <message>
        <source>协议</source>
        <translation>Protocols</translation>
    </message>
    <message>
        <source>55协议</source>
        <translation>55 protocol</translation>
    </message>
    <message>
        <source>Modbus RTU协议</source>
        <translation>Modbus RTU</translation>
    </message>
    <message>
        <source>程序下载</source>
        <translation>Program download</translation>
    </message>
    <message>
        <source>临时数据包</source>
        <translation>Temporary data packets</translation>
    </message>
    <message>
        <source>附加</source>
        <translation>Extra</translation>
    </message>
    <message>
        <source>无附加功能</source>
        <translation>No extra function</translation>
    </message>
    <message>
        <source>远程控制</source>
        <translation>Remote control</translation>
    </message>
    <message>
        <source>Modbus TCP协议</source>
        <translation>Modbus TCP</translation>
    </message>
</context>
<context>
    <name>FrameTrace</name>
    <message>
        <source>间隔超过 200 ms</source>
        <translation>gap over 200 ms</translation>
    </message>
    <message>
        <source>缓冲区溢出</source>
        <translation>buffer overflow</translation>
    </message>
    <message>
        <source>帧长度无效</source>
        <translation>invalid frame length</translation>
    </message>
    <message>
        <source>连接断开</source>
        <translation>link closed</translation>
    </message>
    <message>
        <source>开始传输</source>
        <translation>transfer started</translation>
    </message>
    <message>
        <source>未成帧</source>
        <translation>not a frame</translation>
    </message>
    <message>
        <source>传输前导</source>
        <translation>Transfer preamble</translation>
    </message>
    <message>
        <source>读取请求：包 %d</source>
        <translation>Read request: packet %d</translation>
    </message>
    <message>
        <source>数据响应：包 %d/%d，%d 字节</source>
        <translation>Data response: packet %d/%d, %d bytes</translation>
    </message>
    <message>
        <source>写入数据包：包 %d/%d，%d 字节</source>
        <translation>Write packet: packet %d/%d, %d bytes</translation>
    </message>
    <message>
        <source>写入确认：包 %d</source>
        <translation>Write acknowledgement: packet %d</translation>
    </message>
    <message>
        <source>地址查询</source>
        <translation>Address query</translation>
    </message>
    <message>
        <source>修改地址：%d</source>
        <translation>Change address: %d</translation>
    </message>
    <message>
        <source>地址报告：%d</source>
        <translation>Address report: %d</translation>
    </message>
    <message>
        <source>未知报文，%d 字节</source>
        <translation>Unknown frame, %d bytes</translation>
    </message>
    <message>
        <source>校验错误</source>
        <translation>CRC error</translation>
    </message>
    <message>
        <source>地址不符</source>
        <translation>other address</translation>
    </message>
    <message>
        <source>丢弃 %d 字节：%s</source>
        <translation>Dropped %d bytes: %s</translation>
    </message>
</context>
<context>
    <name>HelpText</name>
    <message>
        <source>帮助信息加载失败。</source>
        <translation>The help text could not be loaded.</translation>
    </message>
</context>
<context>
    <name>HexView</name>
    <message>
        <source>数据测试：第 %zu 个字节“%s”（第 %zu 行第 %zu 列）不是十六进制数，配置未改变</source>
        <translation>Data test: byte %zu "%s" (line %zu, column %zu) is not a hexadecimal number; the configuration is unchanged</translation>
    </message>
    <message>
        <source>数据测试：第 %zu 个字节“%s”（第 %zu 行第 %zu 列）只有一位数字，配置未改变</source>
        <translation>Data test: byte %zu "%s" (line %zu, column %zu) has only one digit; the configuration is unchanged</translation>
    </message>
</context>
<context>
    <name>HoldingRegisterRecords</name>
    <message>
        <source>输入</source>
        <translation>Input</translation>
    </message>
    <message>
        <source>输出</source>
        <translation>Output</translation>
    </message>
    <message>
        <source>全局整数</source>
        <translation>Global integer</translation>
    </message>
    <message>
        <source>位变量</source>
        <translation>Bit variable</translation>
    </message>
    <message>
        <source>有未确认的修改</source>
        <translation>Unconfirmed changes</translation>
    </message>
    <message>
        <source>保持寄存器配置：未确认的修改未生效</source>
        <translation>Holding registers: the unconfirmed changes were not applied</translation>
    </message>
    <message>
        <source>1(每个输入占据1位，每个寄存器表示16个输入)</source>
        <translation>1 (one bit per input, 16 inputs per register)</translation>
    </message>
    <message>
        <source>16(每个输入占据16位，每个寄存器表示1个输入)</source>
        <translation>16 (16 bits per input, 1 input per register)</translation>
    </message>
    <message>
        <source>1(每个输出占据1位，每个寄存器表示16个输出)</source>
        <translation>1 (one bit per output, 16 outputs per register)</translation>
    </message>
    <message>
        <source>16(每个输出占据16位，每个寄存器表示1个输出)</source>
        <translation>16 (16 bits per output, 1 output per register)</translation>
    </message>
    <message>
        <source>半字(每个寄存器表示一个全局整数)</source>
        <translation>Half word (one global integer per register)</translation>
    </message>
    <message>
        <source>全字(每2个寄存器表示一个全局整数)</source>
        <translation>Full word (one global integer per 2 registers)</translation>
    </message>
    <message>
        <source>1(每个位变量占据1位，每个寄存器表示16个位变量)</source>
        <translation>1 (one bit per bit variable, 16 per register)</translation>
    </message>
    <message>
        <source>16(每个位变量占据16位，每个寄存器表示1个位变量)</source>
        <translation>16 (16 bits per bit variable, 1 per register)</translation>
    </message>
</context>
<context>
    <name>ImageRules</name>
    <message>
        <source>数据包长度超过最大长度</source>
        <translation>The data is longer than the largest packet allows</translation>
    </message>
    <message>
        <source>配置文件 (*.vmc)|*.vmc|所有文件 (*.*)|*.*||</source>
        <translation>Configuration files (*.vmc)|*.vmc|All files (*.*)|*.*||</translation>
    </message>
    <message>
        <source>配置文件 (*.vmc)|*.vmc|配置文件 JSON (*.json)|*.json|所有文件 (*.*)|*.*||</source>
        <translation>Configuration files (*.vmc)|*.vmc|Configuration files, JSON (*.json)|*.json|All files (*.*)|*.*||</translation>
    </message>
    <message>
        <source>打开文件失败</source>
        <translation>Opening the file failed</translation>
    </message>
    <message>
        <source>打开文件为空</source>
        <translation>The opened file is empty</translation>
    </message>
    <message>
        <source>保存文件失败</source>
        <translation>Saving the file failed</translation>
    </message>
</context>
<context>
    <name>LineSettings</name>
    <message>
        <source>无</source>
        <translation>None</translation>
    </message>
    <message>
        <source>奇</source>
        <translation>Odd</translation>
    </message>
    <message>
        <source>偶</source>
        <translation>Even</translation>
    </message>
    <message>
        <source>标记</source>
        <translation>Mark</translation>
    </message>
    <message>
        <source>空格</source>
        <translation>Space</translation>
    </message>
    <message>
        <source>无校验</source>
        <translation>None</translation>
    </message>
    <message>
        <source>奇校验</source>
        <translation>Odd</translation>
    </message>
    <message>
        <source>偶校验</source>
        <translation>Even</translation>
    </message>
    <message>
        <source>标记校验</source>
        <translation>Mark</translation>
    </message>
    <message>
        <source>空格校验</source>
        <translation>Space</translation>
    </message>
</context>
<context>
    <name>MainDialog</name>
    <message>
        <source>恢复备份(&amp;R)...</source>
        <translation>&amp;Restore a backup...</translation>
    </message>
    <message>
        <source>已载入备份，与设备比较后可点击“下发配置”写回设备</source>
        <translation>The backup is loaded; after the comparison with the device, click “Write config” to write it back</translation>
    </message>
    <message>
        <source>原因: %s</source>
        <translation>Reason: %s</translation>
    </message>
    <message>
        <source>保存文件: %s (%d 字节)</source>
        <translation>File saved: %s (%d bytes)</translation>
    </message>
    <message>
        <source>保存文件失败: %s</source>
        <translation>Saving the file failed: %s</translation>
    </message>
    <message>
        <source>校验完成，设备配置与下发一致</source>
        <translation>Verified: the device holds the configuration written</translation>
    </message>
    <message>
        <source>打开文件: %s (%llu 字节)</source>
        <translation>File opened: %s (%llu bytes)</translation>
    </message>
    <message>
        <source>设备配置工具</source>
        <translation>Device configuration tool</translation>
    </message>
    <message>
        <source>设备配置工具 V1.00</source>
        <translation>Device configuration tool V1.00</translation>
    </message>
    <message>
        <source>程序启动</source>
        <translation>Program started</translation>
    </message>
    <message>
        <source>文件(&amp;F)</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>新建(&amp;N)	Ctrl+N</source>
        <translation>&amp;New	Ctrl+N</translation>
    </message>
    <message>
        <source>打开(&amp;O)...	Ctrl+O</source>
        <translation>&amp;Open...	Ctrl+O</translation>
    </message>
    <message>
        <source>保存(&amp;S)...	Ctrl+S</source>
        <translation>&amp;Save...	Ctrl+S</translation>
    </message>
    <message>
        <source>退出(&amp;X)</source>
        <translation>E&amp;xit</translation>
    </message>
    <message>
        <source>编辑(&amp;E)</source>
        <translation>&amp;Edit</translation>
    </message>
    <message>
        <source>设备地址扫描(&amp;N)...</source>
        <translation>Scan for &amp;devices...</translation>
    </message>
    <message>
        <source>设备配置(&amp;S)...</source>
        <translation>Device &amp;settings...</translation>
    </message>
    <message>
        <source>与设备比较(&amp;C)...</source>
        <translation>&amp;Compare with device...</translation>
    </message>
    <message>
        <source>帮助(&amp;H)</source>
        <translation>&amp;Help</translation>
    </message>
    <message>
        <source>软件帮助(&amp;H)...</source>
        <translation>&amp;Help...</translation>
    </message>
    <message>
        <source>确定要退出程序吗？</source>
        <translation>Do you really want to quit?</translation>
    </message>
    <message>
        <source>与设备比较：配置一致</source>
        <translation>Compare with device: the same configuration</translation>
    </message>
    <message>
        <source>与设备比较：%d 处不同</source>
        <translation>Compare with device: %d differences</translation>
    </message>
    <message>
        <source>已载入设备配置 (%d 字节)</source>
        <translation>Device configuration loaded (%d bytes)</translation>
    </message>
    <message>
        <source>新建：清空数据</source>
        <translation>New: data cleared</translation>
    </message>
    <message>
        <source>JSON 内容有误: %s: %s</source>
        <translation>JSON content is wrong: %s: %s</translation>
    </message>
    <message>
        <source>没有要保存的数据</source>
        <translation>There is no data to save</translation>
    </message>
</context>
<context>
    <name>MonitorLog</name>
    <message>
        <source>发送</source>
        <translation>Sent</translation>
    </message>
    <message>
        <source>接收</source>
        <translation>Received</translation>
    </message>
</context>
<context>
    <name>NetworkAddressRecords</name>
    <message>
        <source>就绪</source>
        <translation>Ready</translation>
    </message>
    <message>
        <source>修改已确认</source>
        <translation>Changes confirmed</translation>
    </message>
</context>
<context>
    <name>PortDoctor</name>
    <message>
        <source>诊断: %s 只允许用户 %s 读写（权限 %04o）；请用 udev 规则把它交给 dialout 组（GROUP=&quot;dialout&quot;, MODE=&quot;0660&quot;）</source>
        <translation>Diagnosis: %s can be read and written by user %s only (mode %04o); hand it to the dialout group with a udev rule (GROUP=&quot;dialout&quot;, MODE=&quot;0660&quot;)</translation>
    </message>
    <message>
        <source>诊断: %s 属于 %s 组，用户 %s 不在该组；请执行 sudo usermod -aG %s %s，然后注销并重新登录</source>
        <translation>Diagnosis: %s belongs to group %s, and user %s is not in it; run sudo usermod -aG %s %s, then log out and in again</translation>
    </message>
    <message>
        <source>诊断: 用户 %s 已在 %s 组中，但当前登录尚未生效；请注销并重新登录（或重启）</source>
        <translation>Diagnosis: user %s is in group %s, but the current login does not have it yet; log out and in again (or restart)</translation>
    </message>
    <message>
        <source>诊断: 用户 %s 在 %s 组中，系统仍拒绝访问 %s（可能是访问控制列表或安全策略）</source>
        <translation>Diagnosis: user %s is in group %s, yet the system refuses %s (most likely an access control list or a security policy)</translation>
    </message>
    <message>
        <source>诊断: 本程序已打开 %s</source>
        <translation>Diagnosis: this program already has %s open</translation>
    </message>
    <message>
        <source>诊断: %s 正被进程 %lld（%s）占用，请关闭该程序后重试</source>
        <translation>Diagnosis: %s is held by process %lld (%s); close that program and try again</translation>
    </message>
    <message>
        <source>诊断: ModemManager 会探测新插入的串口；可执行 sudo systemctl stop ModemManager，或为该设备设置 ID_MM_DEVICE_IGNORE</source>
        <translation>Diagnosis: ModemManager probes newly plugged serial ports; run sudo systemctl stop ModemManager, or set ID_MM_DEVICE_IGNORE for the device</translation>
    </message>
    <message>
        <source>诊断: brltty（盲文显示器驱动）会占用常见的 USB 串口芯片；如不需要请执行 sudo apt remove brltty</source>
        <translation>Diagnosis: brltty (a braille display driver) takes common USB serial chips; if it is not needed, run sudo apt remove brltty</translation>
    </message>
    <message>
        <source>诊断: %s 正被其他程序占用，但无权查看是哪个进程；请执行 sudo velmora-cli ports 查看</source>
        <translation>Diagnosis: another program holds %s, but this user may not see which; run sudo velmora-cli ports to see it</translation>
    </message>
    <message>
        <source>诊断: %s 正被占用，但未找到打开它的进程</source>
        <translation>Diagnosis: %s is in use, but no process that has it open was found</translation>
    </message>
    <message>
        <source>诊断: %s 正被其他程序占用，请关闭该程序后重试</source>
        <translation>Diagnosis: %s is in use by another program; close that program and try again</translation>
    </message>
    <message>
        <source>诊断: %s 出现约 %.1f 秒后即消失，可能被其他驱动占用（例如盲文显示器驱动 brltty）；如不需要请执行 sudo apt remove brltty，然后重新插入适配器</source>
        <translation>Diagnosis: %s vanished about %.1f seconds after it appeared, most likely taken by another driver (such as the braille display driver brltty); if it is not needed, run sudo apt remove brltty, then plug the adapter in again</translation>
    </message>
    <message>
        <source>诊断: %s 不存在，请检查适配器是否插好，然后从列表中重新选择</source>
        <translation>Diagnosis: %s does not exist; check that the adapter is plugged in, then choose the port from the list again</translation>
    </message>
    <message>
        <source>诊断: %s 不是串口设备，请从列表中选择串口</source>
        <translation>Diagnosis: %s is no serial device; choose a serial port from the list</translation>
    </message>
</context>
<context>
    <name>PortList</name>
    <message>
        <source>（已移除）</source>
        <translation> (removed)</translation>
    </message>
    <message>
        <source>串口已移除: %s</source>
        <translation>Serial port removed: %s</translation>
    </message>
    <message>
        <source>发现串口: %s</source>
        <translation>Serial port found: %s</translation>
    </message>
</context>
<context>
    <name>RegisterMapWidget</name>
    <message>
        <source>无已使能的寄存器组</source>
        <translation>No register group enabled</translation>
    </message>
</context>
<context>
    <name>SerialPortRecords</name>
    <message>
        <source>数据口%d</source>
        <translation>Data port %d</translation>
    </message>
    <message>
        <source>已达到最大数据口数量 (%d)</source>
        <translation>The largest number of data ports is reached (%d)</translation>
    </message>
</context>
<context>
    <name>ServerPortRecords</name>
    <message>
        <source>已达到最大端口数量 (%d)</source>
        <translation>The largest number of ports is reached (%d)</translation>
    </message>
    <message>
        <source>请先在列表中选择要删除的条目</source>
        <translation>Please select the entry to delete in the list first</translation>
    </message>
</context>
<context>
    <name>Startup</name>
    <message>
        <source>Socket初始化失败</source>
        <translation>Socket initialisation failed</translation>
    </message>
</context>
<context>
    <name>TabManager</name>
    <message>
        <source>连接</source>
        <translation>Connection</translation>
    </message>
    <message>
        <source>串口参数</source>
        <translation>Data ports</translation>
    </message>
    <message>
        <source>网络参数</source>
        <translation>Network</translation>
    </message>
    <message>
        <source>网络服务器端口</source>
        <translation>Server ports</translation>
    </message>
    <message>
        <source>保持寄存器配置</source>
        <translation>Holding registers</translation>
    </message>
    <message>
        <source>数据测试</source>
        <translation>Data test</translation>
    </message>
    <message>
        <source>参数列表</source>
        <translation>Parameter list</translation>
    </message>
    <message>
        <source>日志</source>
        <translation>Log</translation>
    </message>
    <message>
        <source>帮助</source>
        <translation>Help</translation>
    </message>
    <message>
        <source>通信监视</source>
        <translation>Monitor</translation>
    </message>
</context>
<context>
    <name>TransferEngine</name>
    <message>
        <source>未连接</source>
        <translation>Not connected</translation>
    </message>
    <message>
        <source>空闲</source>
        <translation>Idle</translation>
    </message>
    <message>
        <source>配置面板初始化完成</source>
        <translation>Configuration panel ready</translation>
    </message>
    <message>
        <source>读取配置中断，连接已断开</source>
        <translation>Reading the configuration stopped: the link was closed</translation>
    </message>
    <message>
        <source>下发配置中断，连接已断开</source>
        <translation>Writing the configuration stopped: the link was closed</translation>
    </message>
    <message>
        <source>读取中断</source>
        <translation>Read stopped</translation>
    </message>
    <message>
        <source>下发中断</source>
        <translation>Write stopped</translation>
    </message>
    <message>
        <source>串口接收缓冲区溢出，已清空</source>
        <translation>Receive buffer overflow, cleared</translation>
    </message>
    <message>
        <source>接收到无效帧</source>
        <translation>Invalid frame received</translation>
    </message>
    <message>
        <source>读取设备地址成功: %02X</source>
        <translation>Device address read: %02X</translation>
    </message>
    <message>
        <source>%02d:%02d:%02d 收到地址更新：%03d</source>
        <translation>%02d:%02d:%02d address report received: %03d</translation>
    </message>
    <message>
        <source>收到未知响应: %02X %02X %02X %02X %02X %02X %02X %02X …… 长度 %d</source>
        <translation>Unknown response received: %02X %02X %02X %02X %02X %02X %02X %02X ... length %d</translation>
    </message>
    <message>
        <source>读取配置超时，复位</source>
        <translation>Reading the configuration timed out, reset</translation>
    </message>
    <message>
        <source>下发配置超时，复位</source>
        <translation>Writing the configuration timed out, reset</translation>
    </message>
    <message>
        <source>请先连接设备</source>
        <translation>Please connect to the device first</translation>
    </message>
    <message>
        <source>正在执行其他操作，请稍后</source>
        <translation>Another operation is running, please wait</translation>
    </message>
    <message>
        <source>正在读取配置...</source>
        <translation>Reading configuration...</translation>
    </message>
    <message>
        <source>开始读取配置...</source>
        <translation>Reading the configuration...</translation>
    </message>
    <message>
        <source>发送读取配置请求: 包 %d</source>
        <translation>Read request sent: packet %d</translation>
    </message>
    <message>
        <source>发送读取配置请求失败</source>
        <translation>Sending the read request failed</translation>
    </message>
    <message>
        <source>无效的配置数据响应</source>
        <translation>Invalid configuration data response</translation>
    </message>
    <message>
        <source>总包数: %d</source>
        <translation>Total packets: %d</translation>
    </message>
    <message>
        <source>收到乱序包: 期望 %d, 实际 %d</source>
        <translation>Packet out of order: expected %d, got %d</translation>
    </message>
    <message>
        <source>收到配置数据包 %d/%d, 数据长度 %d</source>
        <translation>Configuration packet received %d/%d, data length %d</translation>
    </message>
    <message>
        <source>读取配置完成，共 %d 包，%d 字节</source>
        <translation>Configuration read: %d packets, %d bytes</translation>
    </message>
    <message>
        <source>配置报文头错误！</source>
        <translation>Configuration header error!</translation>
    </message>
    <message>
        <source>读取完成</source>
        <translation>Read done</translation>
    </message>
    <message>
        <source>未找到主窗口</source>
        <translation>The main window was not found</translation>
    </message>
    <message>
        <source>要发送的数据长度无效</source>
        <translation>The length of the data to send is invalid</translation>
    </message>
    <message>
        <source>正在下发配置...</source>
        <translation>Writing configuration...</translation>
    </message>
    <message>
        <source>开始下发配置，共 %d 包，%d 字节</source>
        <translation>Writing the configuration: %d packets, %d bytes</translation>
    </message>
    <message>
        <source>发送配置数据包 %d/%d, 数据长度 %d</source>
        <translation>Configuration packet sent %d/%d, data length %d</translation>
    </message>
    <message>
        <source>发送配置数据包失败</source>
        <translation>Sending the configuration packet failed</translation>
    </message>
    <message>
        <source>无效的写入确认包</source>
        <translation>Invalid write acknowledgement</translation>
    </message>
    <message>
        <source>收到写入确认: 包 %d</source>
        <translation>Write acknowledgement received: packet %d</translation>
    </message>
    <message>
        <source>收到乱序确认: 期望 %d, 实际 %d</source>
        <translation>Acknowledgement out of order: expected %d, got %d</translation>
    </message>
    <message>
        <source>下发配置完成</source>
        <translation>Configuration written</translation>
    </message>
    <message>
        <source>下发完成</source>
        <translation>Write done</translation>
    </message>
    <message>
        <source>读取完成（报文头错误）</source>
        <translation>Read done (header error)</translation>
    </message>
</context>
<context>
    <name>UnitDescription</name>
    <message>
        <source>串口配置</source>
        <translation>Data port</translation>
    </message>
    <message>
        <source>网络配置</source>
        <translation>Network address</translation>
    </message>
    <message>
        <source>网络端口</source>
        <translation>Server port</translation>
    </message>
    <message>
        <source>保持寄存器配置</source>
        <translation>Holding registers</translation>
    </message>
    <message>
        <source>未知</source>
        <translation>Unknown</translation>
    </message>
    <message>
        <source>数据口%d: 波特率=%d, 数据位=%d, 停止位=%s, 校验=%s, 协议=%s</source>
        <translation>Data port %d: baud=%d, data bits=%d, stop bits=%s, parity=%s, protocols=%s</translation>
    </message>
    <message>
        <source>网络口%d (虚拟%d): %s=%s</source>
        <translation>Network port %d (virtual %d): %s=%s</translation>
    </message>
    <message>
        <source>网口%d: 端口=%d, 协议=%s</source>
        <translation>Server port %d: port=%d, protocols=%s</translation>
    </message>
    <message>
        <source>%s: 使能=%s, 地址=%u, 数量=%u, 位数=%s</source>
        <translation>%s: enabled=%s, address=%u, count=%u, width=%s</translation>
    </message>
    <message>
        <source>未知: %02X %02X %02X %02X %02X %02X %02X %02X</source>
        <translation>Unknown: %02X %02X %02X %02X %02X %02X %02X %02X</translation>
    </message>
</context>
<context>
    <name>UnitText</name>
    <message>
        <source>无协议</source>
        <translation>No protocol</translation>
    </message>
    <message>
        <source>55协议 </source>
        <translation>55 protocol </translation>
    </message>
    <message>
        <source>Modbus RTU协议 </source>
        <translation>Modbus RTU </translation>
    </message>
    <message>
        <source>程序下载 </source>
        <translation>Program download </translation>
    </message>
    <message>
        <source>临时数据包 </source>
        <translation>Temporary data packets </translation>
    </message>
    <message>
        <source>远程控制 </source>
        <translation>Remote control </translation>
    </message>
    <message>
        <source>Modbus TCP协议 </source>
        <translation>Modbus TCP </translation>
    </message>
    <message>
        <source>掩码</source>
        <translation>Mask</translation>
    </message>
    <message>
        <source>网关</source>
        <translation>Gateway</translation>
    </message>
    <message>
        <source>序列号</source>
        <translation>Serial number</translation>
    </message>
    <message>
        <source>未知</source>
        <translation>Unknown</translation>
    </message>
    <message>
        <source>输入</source>
        <translation>Input</translation>
    </message>
    <message>
        <source>输出</source>
        <translation>Output</translation>
    </message>
    <message>
        <source>全局整数</source>
        <translation>Global integer</translation>
    </message>
    <message>
        <source>位变量</source>
        <translation>Bit variable</translation>
    </message>
    <message>
        <source>全部使能</source>
        <translation>All-enable</translation>
    </message>
    <message>
        <source>开</source>
        <translation>on</translation>
    </message>
    <message>
        <source>关</source>
        <translation>off</translation>
    </message>
    <message>
        <source>全字</source>
        <translation>full word</translation>
    </message>
    <message>
        <source>半字</source>
        <translation>half word</translation>
    </message>
</context>
<context>
    <name>WriteCheck</name>
    <message>
        <source>配置检查：%s</source>
        <translation>Configuration check: %s</translation>
    </message>
    <message>
        <source>配置检查发现以下错误：
</source>
        <translation>The configuration check found these errors:
</translation>
    </message>
    <message>
        <source>……等 %d 项
</source>
        <translation>... %d in all
</translation>
    </message>
    <message>
        <source>
仍要下发配置吗？</source>
        <translation>
Write the configuration anyway?</translation>
    </message>
    <message>
        <source>配置检查有错误，已取消下发配置</source>
        <translation>The configuration check found errors; the write was cancelled</translation>
    </message>
</context>
</TS>
