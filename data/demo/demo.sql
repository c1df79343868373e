-- Demo archive of the Velm forum: what a fresh build opens before any archive or package is at hand.
-- Posts of members who wrote in simplified Chinese are written readable as gb('...'); velm-make-demo
-- stores them as the forum did, their GBK bytes read as code page 950. Everything else is Big5 text.
-- Time stamps are the forum's 14-digit YYYYMMDDHHMMSS texts.

INSERT INTO FORUM_MEMBERS (MEMBER_ID, M_NAME, M_EMAIL, M_POSTS, M_JOINED) VALUES
(1, 'velm', 'webmaster@velm.org.tw', 129, '2001-05-20 10:00:00'),
(2, '阿達', 'ada_lin@ms12.hinet.net', 1871, '2001-08-03 21:14:52'),
(3, 'cyberfox', 'cyberfox@seed.net.tw', 994, '2001-11-15 13:02:11'),
(4, 'jacky_chen', 'jacky.chen@yahoo.com.tw', 232, '2002-03-08 09:45:30'),
(5, 'Delphi小新', 'xiaoxin@pchome.com.tw', 48, '2002-09-21 23:10:07'),
(6, '老貓', 'oldcat@giga.net.tw', 1341, '2001-07-02 08:30:41'),
(7, 'liuwei_sh', 'liuwei_sh@163.com', 152, '2002-12-01 19:22:18'),
(8, 'huang0525', 'huang0525@ms45.hinet.net', 65, '2003-01-10 12:40:00'),
(9, 'kevin_tw', 'kevin@kevin.idv.tw', 411, '2002-05-17 16:55:23'),
(10, 'mickey', 'mickey@so-net.net.tw', 91, '2002-10-30 20:05:49'),
(11, '小草', 'grass@tpts5.seed.net.tw', 35, '2002-12-14 14:14:14'),
(12, 'sam_lee', 'sam_lee@ksts.seed.net.tw', 78, '2002-11-02 10:31:08'),
(13, 'zhangbo', 'zhangbo_bj@sina.com', 108, '2002-09-11 22:47:36'),
(14, 'Pascal迷', 'pascalfan@yahoo.com.tw', 433, '2002-06-06 06:06:06'),
(15, 'Mike O''Hara', 'mike.ohara@hotmail.com', 16, '2003-05-20 11:20:45');

-- Siblings are ordered by CAT_ORDER, not by id; CAT_KIND groups a whole branch for the advanced search.
-- Every top category holds one forum itself: the advanced search lists the forums of top categories.
INSERT INTO FORUM_CATEGORY (CAT_ID, CAT_PID, CAT_ORDER, CAT_KIND, CAT_NAME) VALUES
(1, 0, 1, 1, 'Delphi 程式設計'),
(11, 1, 1, 1, '基礎與 VCL'),
(12, 1, 3, 1, '網路與通訊'),
(13, 1, 2, 1, '資料庫'),
(15, 13, 1, 1, 'ADO 與 Access'),
(14, 1, 4, 1, 'Win32 API 與系統'),
(2, 0, 2, 2, 'C++ Builder'),
(22, 2, 2, 2, 'BCB 進階'),
(3, 0, 3, 3, 'Linux 與 Kylix'),
(32, 3, 2, 3, 'Linux 系統與架站'),
(4, 0, 4, 4, '元件與資源'),
(42, 4, 2, 4, '原始碼分享'),
(5, 0, 5, 5, '.NET 開發'),
(52, 5, 1, 5, 'Delphi 8 for .NET'),
(9, 0, 6, 9, '綜合討論'),
(92, 9, 2, 9, '休閒與職場');

INSERT INTO FORUM_FORUM (FORUM_ID, CAT_ID, F_SUBJECT, F_DESCRIPTION) VALUES
(101, 1, 'Delphi 新手上路', '第一次接觸 Delphi？從安裝、IDE 操作到 Object Pascal 語法，歡迎在這裡發問。'),
(102, 11, 'VCL 與表單設計', '表單、標準元件、Grid、TreeView、ListView 的使用技巧。'),
(103, 13, 'dbExpress 與 BDE', 'BDE、Paradox、dbExpress、ClientDataSet 與各種 SQL 資料庫的連線。'),
(104, 15, 'ADO 與 Access', NULL),
(105, 12, 'Socket 與 Indy', 'TCP/IP、UDP、HTTP、SMTP，Indy 與 ClientSocket/ServerSocket。'),
(106, 14, 'Win32 API 與 DLL', '呼叫 Windows API、撰寫與使用 DLL、Hook、系統資訊。'),
(107, 2, 'C++ Builder 入門', 'BCB 的安裝、IDE 與基本元件。'),
(108, 22, 'BCB 進階技巧', NULL),
(109, 3, 'Kylix 程式設計', 'Kylix 與 CLX：把 Delphi 程式帶到 Linux。'),
(110, 32, 'Linux 安裝與設定', '安裝、中文化、Samba、Apache 與各種伺服器設定。'),
(111, 4, '元件使用討論', '報表、圖表、介面元件等第三方元件的使用問題。'),
(112, 42, '原始碼分享區', '歡迎分享自己寫的函式、類別與元件，請附上說明。'),
(113, 52, 'Delphi 8 for .NET', NULL),
(114, 5, 'C#Builder 討論', NULL),
(115, 9, '站務公告', '本站公告與離線瀏覽器的消息，僅站長可發表新主題。'),
(116, 92, '閒聊區', '寫程式累了嗎？來這裡聊聊吧。'),
(117, 92, '求職與求才', '徵才與求職訊息，請註明地點與聯絡方式。');

INSERT INTO UPDATELOG (UPD_TITLE, UPD_DATE) VALUES
('2004年03週', '2004/01/19 08:45:31'),
('2004年04週 補充包 含精華區更新', '2004/01/26 09:30:05'),
('2004年05週', '2004/02/02 10:11:12');

-- ==================== 101 Delphi 新手上路 ====================

INSERT INTO FORUM_TOPICS (TOPIC_ID, FORUM_ID, CAT_ID, T_AUTHOR, T_DATE, T_REPLIES, T_LAST_POST, T_GOOD, T_CODESYSTEM,
  T_FILENAME, T_FILESIZE, T_SUBJECT, T_MESSAGE) VALUES
(1009, 101, 1, 5, '20030217224122', 3, '20030220042627', 'N', 0, NULL, NULL,
'Delphi 7 安裝完開啟舊專案出現 Package 載入錯誤',
'各位前輩好，小弟剛從 Delphi 5 換到 Delphi 7，
把以前的專案打開時跳出這個訊息：

Can''t load package C:\Program Files\Borland\Delphi7\Projects\Bpl\dclrx5.bpl.
找不到指定的模組。

按確定之後還是可以開，但是表單上的 RxLib 元件全部不見了，
編譯就出現 Class TRxLabel not found。請問要怎麼解決？');
INSERT INTO FORUM_REPLY (TOPIC_ID, REPLY_ID, R_AUTHOR, R_DATE, R_CODESYSTEM, R_MESSAGE) VALUES
(1009, 1, 2, '20030217231618', 0,
'dclrx5.bpl 是給 Delphi 5 用的，Delphi 7 不能載入舊版的 package。
請先到 Component -> Install Packages 把那一項移除，
再去抓 RxLib 2.75 給 Delphi 7 的版本重新安裝。
安裝步驟可以參考這篇：http://www.velm.org.tw/topic.asp?TOPIC_ID=1002

注意表單上的元件不見「不要存檔」，不然 dfm 裡的屬性會被清掉。'),
(1009, 2, 5, '20030219012619', 0,
'感謝阿達大大！照著做已經可以編譯了 <img src=icon_smile_big.gif border=0>
還好沒有存檔…'),
(1009, 3, 14, '20030220042627', 0,
'補充一下：D7 的 RxLib 裝完以後記得把 Library Path 加上 rxlib\units，
不然會出現 File not found: ''RxConst.dcu''。');

INSERT INTO FORUM_TOPICS (TOPIC_ID, FORUM_ID, CAT_ID, T_AUTHOR, T_DATE, T_REPLIES, T_LAST_POST, T_GOOD, T_CODESYSTEM,
  T_FILENAME, T_FILESIZE, T_SUBJECT, T_MESSAGE) VALUES
(1011, 101, 1, 8, '20030305101204', 4, '20030305171757', 'Y', 0, NULL, NULL,
'String 與 PChar 之間怎麼轉換？',
'要呼叫一個 C 寫的 DLL，函式宣告是
char* __stdcall GetVersionText(char* buf, int size);

在 Delphi 裡面要怎麼宣告跟呼叫？我用 String 傳進去程式就當掉了。');
INSERT INTO FORUM_REPLY (TOPIC_ID, REPLY_ID, R_AUTHOR, R_DATE, R_CODESYSTEM, R_MESSAGE) VALUES
(1011, 1, 2, '20030305105235', 0,
'String 是 Delphi 管理的長字串，不能直接給 C 寫進去。
先用 SetLength 配好空間，再轉成 PChar 傳進去：

function GetVersionText(Buf: PChar; Size: Integer): PChar; stdcall;
  external ''ver.dll'';

procedure TForm1.Button1Click(Sender: TObject);
var
  S: string;
begin
  SetLength(S, 256);
  GetVersionText(PChar(S), Length(S));
  SetLength(S, StrLen(PChar(S)));   // 砍掉後面的 #0
  ShowMessage(S);
end;'),
(1011, 2, 8, '20030305115714', 0,
'可以了！原來是沒有先 SetLength，難怪會寫到不該寫的地方。
另外想問：反過來 PChar 轉 String 是不是直接指定就好？'),
(1011, 3, 14, '20030305135716', 0,
'PChar 轉 String 直接 S := P; 就可以，Delphi 會複製一份。
反過來 PChar(S) 只是拿到內部指標，S 被改掉或釋放之後那個指標就失效了，
所以不要把 PChar(S) 存起來給別人用。'),
(1011, 4, 2, '20030305171757', 0,
'補充：如果 DLL 是要「傳回」一個它自己配置的字串，
那就要看 DLL 有沒有提供釋放的函式，不要用 Delphi 的 FreeMem 去釋放 C 配的記憶體。
DLL 傳字串的完整討論在這裡：[url=http://www.velm.org.tw/topic.asp?TOPIC_ID=1006]Delphi DLL 傳字串給 VB[/url]');

INSERT INTO FORUM_TOPICS (TOPIC_ID, FORUM_ID, CAT_ID, T_AUTHOR, T_DATE, T_REPLIES, T_LAST_POST, T_GOOD, T_CODESYSTEM,
  T_FILENAME, T_FILESIZE, T_SUBJECT, T_MESSAGE) VALUES
(1017, 101, 1, 11, '20030409152731', 5, '20030410231705', 'N', 0, NULL, NULL,
'如何在 Form1 開啟 Form2 並傳值',
'請問我在 Form1 按一個按鈕要開 Form2，
然後把 Form1 的 Edit1.Text 傳到 Form2 的 Label1 上面，
Form2 關掉的時候再把使用者輸入的東西傳回 Form1，要怎麼寫？
我是 VB 轉過來的，不太懂 Delphi 的表單是怎麼運作的。');
INSERT INTO FORUM_REPLY (TOPIC_ID, REPLY_ID, R_AUTHOR, R_DATE, R_CODESYSTEM, R_MESSAGE) VALUES
(1017, 1, 9, '20030409155205', 0,
'最簡單的寫法：

uses Unit2;

procedure TForm1.Button1Click(Sender: TObject);
begin
  Form2.Label1.Caption := Edit1.Text;
  if Form2.ShowModal = mrOK then
    Edit1.Text := Form2.Edit1.Text;
end;

Form2 上的確定按鈕把 ModalResult 設成 mrOK 就會自動關閉。'),
(1017, 2, 11, '20030409164214', 0,
'我照做可是出現 Access violation at address 0044A1B3…'),
(1017, 3, 9, '20030409170232', 0,
'應該是 Form2 沒有自動建立。
看一下 Project -> Options -> Forms，Form2 是不是在 Available forms 那邊？
如果是的話要自己建立：

Form2 := TForm2.Create(Application);
try
  ...
finally
  Form2.Free;
end;'),
(1017, 4, 11, '20030409171701', 0,
'對耶！真的是在 Available forms，改了就好了，謝謝 <img src=icon_smile.gif border=0>'),
(1017, 5, 14, '20030410231705', 0,
'建議的寫法是在 Form2 自己寫一個 class function Execute，
把要傳的值當參數，這樣 Form1 就不用知道 Form2 裡面有哪些元件，
以後改畫面也不會影響到呼叫的地方。');

INSERT INTO FORUM_TOPICS (TOPIC_ID, FORUM_ID, CAT_ID, T_AUTHOR, T_DATE, T_REPLIES, T_LAST_POST, T_GOOD, T_CODESYSTEM,
  T_FILENAME, T_FILESIZE, T_SUBJECT, T_MESSAGE) VALUES
(1022, 101, 1, 5, '20030522210330', 3, '20030524001515', 'N', 0, NULL, NULL,
'try...except 和 try...finally 差在哪裡？',
'看書上的範例兩種都有人用，到底什麼時候要用哪一種？
可以兩個一起用嗎？');
INSERT INTO FORUM_REPLY (TOPIC_ID, REPLY_ID, R_AUTHOR, R_DATE, R_CODESYSTEM, R_MESSAGE) VALUES
(1022, 1, 2, '20030522221539', 0,
'except 是「出錯的時候要做什麼」，finally 是「不管有沒有出錯都一定要做」。
所以配置資源之後用 finally 釋放，要處理錯誤訊息才用 except。
兩個要一起用就巢狀寫：

List := TStringList.Create;
try
  try
    List.LoadFromFile(FileName);
  except
    on E: EFOpenError do
      ShowMessage(''檔案開不起來：'' + E.Message);
  end;
finally
  List.Free;
end;'),
(1022, 2, 5, '20030523001509', 0,
'原來如此，一直以為 finally 只有出錯才會跑。'),
(1022, 3, 10, '20030524001515', 0,
'在 IDE 裡面執行的時候，就算有 except 也會先停在錯誤的地方，
那是 debugger 的設定 (Tools -> Debugger Options -> Language Exceptions)，
直接執行 exe 就不會停了，新手常常以為 except 沒有作用。');

INSERT INTO FORUM_TOPICS (TOPIC_ID, FORUM_ID, CAT_ID, T_AUTHOR, T_DATE, T_REPLIES, T_LAST_POST, T_GOOD, T_CODESYSTEM,
  T_FILENAME, T_FILESIZE, T_SUBJECT, T_MESSAGE) VALUES
(1028, 101, 1, 13, '20030630094857', 3, '20030630155818', 'N', 1, NULL, NULL,
gb('Delphi 中如何获取程序自身的路径？'),
gb('我的程序需要读同一目录下的 config.ini，
用 GetCurrentDir 的话从快捷方式启动就不对了，
请问有没有稳定的方法取得 exe 所在的目录？谢谢！'));
INSERT INTO FORUM_REPLY (TOPIC_ID, REPLY_ID, R_AUTHOR, R_DATE, R_CODESYSTEM, R_MESSAGE) VALUES
(1028, 1, 4, '20030630101800', 0,
'用 ExtractFilePath(Application.ExeName) 就可以，
傳回的路徑最後面已經有 \ 了，直接接檔名：

IniName := ExtractFilePath(Application.ExeName) + ''config.ini'';

如果是寫 DLL，要用 GetModuleFileName(HInstance, ...)，
Application.ExeName 會拿到呼叫你的那個主程式。'),
(1028, 2, 13, '20030630125820', 1,
gb('明白了，已经搞定，非常感谢！')),
(1028, 3, 7, '20030630155818', 1,
gb('补充一点：Windows 2000/XP 下如果程序装在 Program Files，
一般用户没有写入权限，ini 最好放在 Application Data 目录。'));

INSERT INTO FORUM_TOPICS (TOPIC_ID, FORUM_ID, CAT_ID, T_AUTHOR, T_DATE, T_REPLIES, T_LAST_POST, T_GOOD, T_CODESYSTEM,
  T_FILENAME, T_FILESIZE, T_SUBJECT, T_MESSAGE) VALUES
(1047, 101, 1, 10, '20031014133552', 2, '20031015163554', 'N', 0, NULL, NULL,
'IntToStr 與 Format 哪一個比較快？',
'要在迴圈裡把幾萬筆數字轉成字串寫進檔案，
IntToStr(i) 跟 Format(''%d'', [i]) 哪個效率比較好？');
INSERT INTO FORUM_REPLY (TOPIC_ID, REPLY_ID, R_AUTHOR, R_DATE, R_CODESYSTEM, R_MESSAGE) VALUES
(1047, 1, 3, '20031014163541', 0,
'IntToStr 快很多，Format 要解析格式字串。
不過幾萬筆其實差不到一秒，瓶頸應該是在寫檔。
用 TStringList 全部加完再 SaveToFile 一次寫，
會比每一筆都 WriteLn 快得多。'),
(1047, 2, 10, '20031015163554', 0,
'改成 TStringList 一次寫，原本 8 秒變成不到 1 秒，感謝！');

-- ==================== 102 VCL 與表單設計 ====================

INSERT INTO FORUM_TOPICS (TOPIC_ID, FORUM_ID, CAT_ID, T_AUTHOR, T_DATE, T_REPLIES, T_LAST_POST, T_GOOD, T_CODESYSTEM,
  T_FILENAME, T_FILESIZE, T_SUBJECT, T_MESSAGE) VALUES
(1004, 102, 11, 4, '20030121112056', 4, '20030122222031', 'Y', 0, NULL, NULL,
'StringGrid 儲存格換色 (OnDrawCell)',
'整理一下 StringGrid 依內容變換顏色的方法，常有人問就寫一篇。
把 DefaultDrawing 設成 False，然後在 OnDrawCell 裡自己畫：

procedure TForm1.StringGrid1DrawCell(Sender: TObject; ACol, ARow: Integer;
  Rect: TRect; State: TGridDrawState);
var
  S: string;
begin
  with StringGrid1.Canvas do
  begin
    S := StringGrid1.Cells[ACol, ARow];
    if ARow = 0 then
      Brush.Color := clBtnFace
    else if StrToIntDef(S, 0) < 0 then
      Brush.Color := $00C0C0FF      // 負數用淺紅色
    else
      Brush.Color := clWindow;
    FillRect(Rect);
    TextRect(Rect, Rect.Left + 2, Rect.Top + 2, S);
  end;
end;

注意 TColor 是 BGR 的順序，$00C0C0FF 是紅色不是藍色。');
INSERT INTO FORUM_REPLY (TOPIC_ID, REPLY_ID, R_AUTHOR, R_DATE, R_CODESYSTEM, R_MESSAGE) VALUES
(1004, 1, 14, '20030121132051', 0,
'推！補充：如果要選取的列也有顏色，判斷 gdSelected in State 就可以。'),
(1004, 2, 8, '20030122162048', 0,
'請問文字要靠右對齊要怎麼改？數字靠左很難看…'),
(1004, 3, 4, '20030122212020', 0,
'TextRect 的 X 改成 Rect.Right - TextWidth(S) - 2 就會靠右。'),
(1004, 4, 8, '20030122222031', 0,
'成功了，謝謝 jacky <img src=icon_smile.gif border=0>');

INSERT INTO FORUM_TOPICS (TOPIC_ID, FORUM_ID, CAT_ID, T_AUTHOR, T_DATE, T_REPLIES, T_LAST_POST, T_GOOD, T_CODESYSTEM,
  T_FILENAME, T_FILESIZE, T_SUBJECT, T_MESSAGE) VALUES
(1052, 102, 11, 12, '20031106160236', 3, '20031106212219', 'N', 0, NULL, NULL,
'TreeView 節點拖曳排序',
'想做一個可以用滑鼠拖曳調整順序的 TreeView，
DragMode 已經設成 dmAutomatic，可是放開之後節點沒有移動，
OnDragDrop 裡面要寫什麼？');
INSERT INTO FORUM_REPLY (TOPIC_ID, REPLY_ID, R_AUTHOR, R_DATE, R_CODESYSTEM, R_MESSAGE) VALUES
(1052, 1, 9, '20031106174224', 0,
'OnDragOver 要先把 Accept 設為 True，OnDragDrop 再呼叫 MoveTo：

procedure TForm1.TreeView1DragDrop(Sender, Source: TObject; X, Y: Integer);
var
  Target: TTreeNode;
begin
  Target := TreeView1.GetNodeAt(X, Y);
  if (Target <> nil) and (TreeView1.Selected <> nil) then
    TreeView1.Selected.MoveTo(Target, naAddChild);
end;

要插在前面就用 naInsert。'),
(1052, 2, 12, '20031106204236', 0,
'可以動了！但是拖到自己的子節點下面會出錯，要怎麼防止？'),
(1052, 3, 9, '20031106212219', 0,
'在 OnDragOver 檢查 Target.HasAsParent(TreeView1.Selected)，是的話 Accept := False。
ListView 的排序另外有一篇範例可以參考：
http://www.velm.org.tw/TOPIC.ASP?TOPIC_ID=1041');

INSERT INTO FORUM_TOPICS (TOPIC_ID, FORUM_ID, CAT_ID, T_AUTHOR, T_DATE, T_REPLIES, T_LAST_POST, T_GOOD, T_CODESYSTEM,
  T_FILENAME, T_FILESIZE, T_SUBJECT, T_MESSAGE) VALUES
(1032, 102, 11, 10, '20030718203104', 2, '20030720003137', 'N', 0, NULL, NULL,
'MDI 子視窗最大化時標題列重疊',
'MDI 子視窗按最大化之後，主表單的選單列右邊會出現兩組最小化/關閉按鈕，
而且切換子視窗的時候畫面會閃一下，有人遇過嗎？');
INSERT INTO FORUM_REPLY (TOPIC_ID, REPLY_ID, R_AUTHOR, R_DATE, R_CODESYSTEM, R_MESSAGE) VALUES
(1032, 1, 2, '20030719203149', 0,
'這是 VCL 在子視窗 Create 的時候設 WindowState := wsMaximized 才會這樣，
改成在 FormShow 裡面設，或是 LockWindowUpdate(Handle) 包起來再放開就不會閃。'),
(1032, 2, 10, '20030720003137', 0,
'改在 FormShow 就正常了，感謝。');

INSERT INTO FORUM_TOPICS (TOPIC_ID, FORUM_ID, CAT_ID, T_AUTHOR, T_DATE, T_REPLIES, T_LAST_POST, T_GOOD, T_CODESYSTEM,
  T_FILENAME, T_FILESIZE, T_SUBJECT, T_MESSAGE) VALUES
(1038, 102, 11, 11, '20030826100552', 3, '20030826142522', 'N', 0, NULL, NULL,
'如何讓 Form 不出現在工作列',
'我的程式想做成只有右下角圖示的小工具，
主表單隱藏之後工作列還是有一個按鈕，要怎麼拿掉？');
INSERT INTO FORUM_REPLY (TOPIC_ID, REPLY_ID, R_AUTHOR, R_DATE, R_CODESYSTEM, R_MESSAGE) VALUES
(1038, 1, 4, '20030826105510', 0,
'工作列上那個其實是 Application 的隱藏視窗，在專案檔 (.dpr) 加一行：

ShowWindow(Application.Handle, SW_HIDE);

右下角的圖示可以參考 API 版的系統匣範例：http://www.velm.org.tw/topic.asp?TOPIC_ID=1024'),
(1038, 2, 11, '20030826125557', 0,
'加了以後一開始有效，可是最小化再還原又出現了 <img src=icon_smile_sad.gif border=0>'),
(1038, 3, 4, '20030826142522', 0,
'那要在主表單 override CreateParams，把 ExStyle 加上 WS_EX_TOOLWINDOW，
再攔 Application.OnRestore 重新 ShowWindow 一次。');

INSERT INTO FORUM_TOPICS (TOPIC_ID, FORUM_ID, CAT_ID, T_AUTHOR, T_DATE, T_REPLIES, T_LAST_POST, T_GOOD, T_CODESYSTEM,
  T_FILENAME, T_FILESIZE, T_SUBJECT, T_MESSAGE) VALUES
(1041, 102, 11, 3, '20030909141815', 4, '20030913164800', 'Y', 0, 'sort_demo.zip', 20480,
'ListView 排序範例 (附原始碼)',
'常有人問 ListView 點欄位標題排序的寫法，寫了一個小範例放上來。
重點在 OnColumnClick 記住欄位和方向，再呼叫 CustomSort：

function SortProc(Item1, Item2: TListItem; ParamSort: Integer): Integer; stdcall;
var
  Col: Integer;
begin
  Col := Abs(ParamSort) - 1;
  if Col = 0 then
    Result := CompareText(Item1.Caption, Item2.Caption)
  else
    Result := CompareText(Item1.SubItems[Col - 1], Item2.SubItems[Col - 1]);
  if ParamSort < 0 then
    Result := -Result;
end;

數字欄位要先轉成數字再比，不然 10 會排在 9 前面。
附件 sort_demo.zip 裡有完整專案 (Delphi 6/7 都可以開)。');
INSERT INTO FORUM_REPLY (TOPIC_ID, REPLY_ID, R_AUTHOR, R_DATE, R_CODESYSTEM, R_MESSAGE) VALUES
(1041, 1, 9, '20030909161825', 0,
'好範例，收下了！順便問一下 ParamSort 為什麼要用 Abs？'),
(1041, 2, 3, '20030909164818', 0,
'用正負號記排序方向，欄位從 1 開始算是因為 -0 = 0，分不出方向。'),
(1041, 3, 2, '20030910164806', 0,
'CompareText 不分大小寫，如果要中文依筆劃排序可以改用 AnsiCompareStr，
它會呼叫 Windows 的 CompareString，依系統地區設定排序。'),
(1041, 4, 12, '20030913164800', 0,
'用 D5 開會說 Property OwnerData does not exist，直接 Ignore 就可以了嗎？');

-- ==================== 103 dbExpress 與 BDE ====================

INSERT INTO FORUM_TOPICS (TOPIC_ID, FORUM_ID, CAT_ID, T_AUTHOR, T_DATE, T_REPLIES, T_LAST_POST, T_GOOD, T_CODESYSTEM,
  T_FILENAME, T_FILESIZE, T_SUBJECT, T_MESSAGE) VALUES
(1007, 103, 13, 8, '20030203091521', 4, '20030209152533', 'N', 0, NULL, NULL,
'BDE 在 Win2000 下出現 Insufficient disk space',
'程式在客戶的新電腦 (Windows 2000, 80G 硬碟) 開 Paradox 資料表時出現
Insufficient disk space，可是硬碟明明還有 60 幾 G，
在舊電腦 (Win98) 都很正常，這是怎麼回事？');
INSERT INTO FORUM_REPLY (TOPIC_ID, REPLY_ID, R_AUTHOR, R_DATE, R_CODESYSTEM, R_MESSAGE) VALUES
(1007, 1, 6, '20030203102539', 0,
'這是 BDE 的老問題：它用 32 位元有號整數算剩餘空間，
剩餘空間剛好落在 4G 的某些倍數附近就會判斷錯誤。
暫時的解法是在硬碟隨便放一個大檔讓剩餘空間變一下，
正式的解法是更新到 BDE 5.2.0.2。'),
(1007, 2, 8, '20030203132504', 0,
'真的耶，複製了一個 700MB 的檔案進去就好了，太神奇了…'),
(1007, 3, 2, '20030204152541', 0,
'順便提醒：BDE 已經不會再更新了，新的案子建議改用 ADO 或 dbExpress，
Paradox 在網路磁碟上多人共用也常常出問題。'),
(1007, 4, 12, '20030209152533', 0,
'同樣的問題在 XP 也會發生，更新 BDE 之後就沒再遇到了。');

INSERT INTO FORUM_TOPICS (TOPIC_ID, FORUM_ID, CAT_ID, T_AUTHOR, T_DATE, T_REPLIES, T_LAST_POST, T_GOOD, T_CODESYSTEM,
  T_FILENAME, T_FILESIZE, T_SUBJECT, T_MESSAGE) VALUES
(1019, 103, 13, 9, '20030428194002', 5, '20030430034536', 'N', 0, NULL, NULL,
'dbExpress 連 MySQL 中文變成問號',
'用 Delphi 7 的 dbExpress 連 MySQL 3.23，
寫進去的中文在 phpMyAdmin 看都變成 ??，
讀出來也是問號，英文和數字都正常。');
INSERT INTO FORUM_REPLY (TOPIC_ID, REPLY_ID, R_AUTHOR, R_DATE, R_CODESYSTEM, R_MESSAGE) VALUES
(1019, 1, 6, '20030428202531', 0,
'先確定 MySQL 的 default-character-set 是 big5 (my.cnf)，
3.23 版預設是 latin1，中文雖然可以存但排序和 LIKE 會怪怪的。'),
(1019, 2, 9, '20030428222515', 0,
'my.cnf 改成 big5 重開 mysqld 了，還是一樣是問號 <img src=icon_smile_sad.gif border=0>'),
(1019, 3, 7, '20030429014534', 1,
gb('D7 自带的 dbexpmysql.dll 只支持到 MySQL 3.22 的协议，
连 3.23 以后的版本要换第三方的驱动，不然中文和 BLOB 都会有问题。
我们这边用的是 [url=http://crlab.com/]Core Lab 的 dbExpress driver[/url]，很稳定。')),
(1019, 4, 9, '20030430014547', 0,
'換了 driver 就正常了，謝謝！順便問一下，
有些資料是大陸客戶用 GB 碼輸入的，有辦法轉成 Big5 嗎？'),
(1019, 5, 2, '20030430034536', 0,
'原始碼分享區有現成的 GB/Big5 互轉函式：
[url]http://www.velm.org.tw/topic.asp?TOPIC_ID=1008[/url]');

INSERT INTO FORUM_TOPICS (TOPIC_ID, FORUM_ID, CAT_ID, T_AUTHOR, T_DATE, T_REPLIES, T_LAST_POST, T_GOOD, T_CODESYSTEM,
  T_FILENAME, T_FILESIZE, T_SUBJECT, T_MESSAGE) VALUES
(1030, 103, 13, 4, '20030707110249', 3, '20030707145237', 'N', 0, NULL, NULL,
'ClientDataSet 的 ApplyUpdates 沒有寫回資料庫',
'架構是 SQLConnection -> SQLDataSet -> DataSetProvider -> ClientDataSet，
DBGrid 上改完資料呼叫 ClientDataSet1.ApplyUpdates(0)，
沒有出現任何錯誤，可是資料庫裡面的資料都沒變。');
INSERT INTO FORUM_REPLY (TOPIC_ID, REPLY_ID, R_AUTHOR, R_DATE, R_CODESYSTEM, R_MESSAGE) VALUES
(1030, 1, 3, '20030707120241', 0,
'ApplyUpdates 有傳回值，是失敗的筆數，先看看是不是 0。
另外 OnReconcileError 要寫，不然錯誤會被吞掉。'),
(1030, 2, 4, '20030707143241', 0,
'傳回 1，OnReconcileError 抓到 Unable to find record. No key specified.'),
(1030, 3, 3, '20030707145237', 0,
'那就是 Provider 不知道哪個欄位是主鍵。
把 SQLDataSet 欄位編輯器裡主鍵欄位的 ProviderFlags 加上 pfInKey，
或是把 DataSetProvider 的 UpdateMode 改成 upWhereAll。');

INSERT INTO FORUM_TOPICS (TOPIC_ID, FORUM_ID, CAT_ID, T_AUTHOR, T_DATE, T_REPLIES, T_LAST_POST, T_GOOD, T_CODESYSTEM,
  T_FILENAME, T_FILESIZE, T_SUBJECT, T_MESSAGE) VALUES
(1059, 103, 13, 10, '20031215085230', 2, '20031216105216', 'N', 0, NULL, NULL,
'Paradox 表格的 .lck 檔案問題',
'程式不正常結束之後，資料夾裡留下 PDOXUSRS.LCK 和 PARADOX.LCK，
下次開啟就說 Directory is controlled by other .NET file，
每次都要手動刪掉，有沒有辦法用程式處理？');
INSERT INTO FORUM_REPLY (TOPIC_ID, REPLY_ID, R_AUTHOR, R_DATE, R_CODESYSTEM, R_MESSAGE) VALUES
(1059, 1, 6, '20031215105245', 0,
'BDE 的 NetDir 要設在大家都能存取的共用目錄，而且每台電腦要設一樣的路徑，
不然就會出現這個錯誤。單機使用的話，程式啟動時判斷沒有別人在用，
刪掉 .lck 再開 Session 就可以。'),
(1059, 2, 10, '20031216105216', 0,
'了解，原來是 NetDir 設定不一致的關係，我來統一設定看看。');

-- ==================== 104 ADO 與 Access ====================

INSERT INTO FORUM_TOPICS (TOPIC_ID, FORUM_ID, CAT_ID, T_AUTHOR, T_DATE, T_REPLIES, T_LAST_POST, T_GOOD, T_CODESYSTEM,
  T_FILENAME, T_FILESIZE, T_SUBJECT, T_MESSAGE) VALUES
(1003, 104, 15, 2, '20030113220524', 4, '20030121223503', 'Y', 0, NULL, NULL,
'ADO 連線字串的寫法',
'整理幾個常用的 ADO 連線字串，給剛接觸 ADOConnection 的朋友參考。

Access 2000 (Jet 4.0)：
Provider=Microsoft.Jet.OLEDB.4.0;Data Source=C:\data\velm.mdb;Persist Security Info=False

有設資料庫密碼的 Access：
Provider=Microsoft.Jet.OLEDB.4.0;Data Source=C:\data\a.mdb;Jet OLEDB:Database Password=1234

SQL Server 2000 (Windows 驗證)：
Provider=SQLOLEDB.1;Integrated Security=SSPI;Initial Catalog=Northwind;Data Source=SERVER1

SQL Server 2000 (SQL 帳號)：
Provider=SQLOLEDB.1;User ID=sa;Password=xxx;Initial Catalog=Northwind;Data Source=192.168.1.10

不確定怎麼寫的話，在 ADOConnection 的 ConnectionString 按 ... 用精靈產生，
再把產生出來的字串複製下來改就好。

路徑不要寫死，用程式組：
ADOConnection1.ConnectionString := ''Provider=Microsoft.Jet.OLEDB.4.0;Data Source='' +
  ExtractFilePath(Application.ExeName) + ''velm.mdb'';');
INSERT INTO FORUM_REPLY (TOPIC_ID, REPLY_ID, R_AUTHOR, R_DATE, R_CODESYSTEM, R_MESSAGE) VALUES
(1003, 1, 11, '20030114220548', 0,
'請問 LoginPrompt 要設成 False 嗎？每次開都跳出帳號密碼的視窗。'),
(1003, 2, 2, '20030114223518', 0,
'對，LoginPrompt := False，帳號密碼直接寫在連線字串裡。'),
(1003, 3, 13, '20030117223556', 1,
gb('很有用的整理，收藏了。Oracle 的话可以用 Provider=OraOLEDB.Oracle.1 或者 MSDAORA.1。')),
(1003, 4, 9, '20030121223503', 0,
'補一個 Excel 的：
Provider=Microsoft.Jet.OLEDB.4.0;Data Source=C:\a.xls;Extended Properties="Excel 8.0;HDR=Yes"
工作表名稱要寫成 [Sheet1$]。');

INSERT INTO FORUM_TOPICS (TOPIC_ID, FORUM_ID, CAT_ID, T_AUTHOR, T_DATE, T_REPLIES, T_LAST_POST, T_GOOD, T_CODESYSTEM,
  T_FILENAME, T_FILESIZE, T_SUBJECT, T_MESSAGE) VALUES
(1014, 104, 15, 5, '20030320143011', 4, '20030321180517', 'N', 0, NULL, NULL,
'ADOQuery 參數查詢 LIKE 要怎麼寫',
'想讓使用者輸入部分姓名來查詢，寫成這樣查不到任何資料：

ADOQuery1.SQL.Text := ''select * from Customer where Name like ''''%:name%'''''';

請問參數要怎麼放在 LIKE 裡面？');
INSERT INTO FORUM_REPLY (TOPIC_ID, REPLY_ID, R_AUTHOR, R_DATE, R_CODESYSTEM, R_MESSAGE) VALUES
(1014, 1, 4, '20030320145027', 0,
'引號裡面的 :name 不會被當成參數，% 要接在參數值上：

ADOQuery1.SQL.Text := ''select * from Customer where Name like :name'';
ADOQuery1.Parameters.ParamByName(''name'').Value := ''%'' + Edit1.Text + ''%'';
ADOQuery1.Open;'),
(1014, 2, 5, '20030320155027', 0,
'可以了！原來 % 是放在值裡面。'),
(1014, 3, 2, '20030320180533', 0,
'提醒一下，Access 在 Access 自己的查詢視窗裡萬用字元是 *，
可是透過 ADO (Jet OLE DB) 要用 %，這點很多人搞混。
連線字串的寫法在這篇：[url=http://www.velm.org.tw/topic.asp?TOPIC_ID=1003]ADO 連線字串的寫法[/url]'),
(1014, 4, 14, '20030321180517', 0,
'如果不用參數、直接組字串的話，使用者輸入的單引號要變成兩個，
不然輸入 O''Brien 就會出現語法錯誤，也會有 SQL injection 的問題。');

INSERT INTO FORUM_TOPICS (TOPIC_ID, FORUM_ID, CAT_ID, T_AUTHOR, T_DATE, T_REPLIES, T_LAST_POST, T_GOOD, T_CODESYSTEM,
  T_FILENAME, T_FILESIZE, T_SUBJECT, T_MESSAGE) VALUES
(1026, 104, 15, 9, '20030616174544', 3, '20030618214517', 'N', 0, 'compact_mdb.zip', 8704,
'Access 資料庫壓縮與修復 (JRO)',
'Access 的 mdb 刪除資料之後檔案不會變小，要定期壓縮。
用 JRO 的 CompactDatabase 可以在程式裡做，不用開 Access：

uses ComObj;

procedure CompactMdb(const Src, Tmp: string);
var
  JE: OleVariant;
begin
  JE := CreateOleObject(''JRO.JetEngine'');
  JE.CompactDatabase(''Provider=Microsoft.Jet.OLEDB.4.0;Data Source='' + Src,
    ''Provider=Microsoft.Jet.OLEDB.4.0;Data Source='' + Tmp +
    '';Jet OLEDB:Engine Type=5'');
  DeleteFile(Src);
  RenameFile(Tmp, Src);
end;

壓縮前所有連線都要關掉，不然會出現檔案已被使用。
範例程式放在附件。');
INSERT INTO FORUM_REPLY (TOPIC_ID, REPLY_ID, R_AUTHOR, R_DATE, R_CODESYSTEM, R_MESSAGE) VALUES
(1026, 1, 4, '20030616204544', 0,
'請問 Engine Type=5 是什麼意思？'),
(1026, 2, 9, '20030616214555', 0,
'5 是 Access 2000/2002 的格式 (Jet 4.0)，4 是 Access 97 (Jet 3.x)。
不指定的話會用預設值，有可能被轉成舊格式。'),
(1026, 3, 12, '20030618214517', 0,
'實測 120MB 的 mdb 壓完剩 35MB，速度也快很多，感謝分享 <img src=icon_smile.gif border=0>');

INSERT INTO FORUM_TOPICS (TOPIC_ID, FORUM_ID, CAT_ID, T_AUTHOR, T_DATE, T_REPLIES, T_LAST_POST, T_GOOD, T_CODESYSTEM,
  T_FILENAME, T_FILESIZE, T_SUBJECT, T_MESSAGE) VALUES
(1034, 104, 15, 7, '20030804102610', 3, '20030805120615', 'N', 1, NULL, NULL,
gb('ADO 连接 SQL Server 2000 超时的问题'),
gb('用 ADOQuery 执行一个比较复杂的统计查询，
在查询分析器里大概要跑 50 秒，
在程序里执行到 30 秒左右就出现「超时已过期」的错误。
ADOConnection 的 ConnectionTimeout 已经改成 300 了，还是一样，请问怎么办？'));
INSERT INTO FORUM_REPLY (TOPIC_ID, REPLY_ID, R_AUTHOR, R_DATE, R_CODESYSTEM, R_MESSAGE) VALUES
(1034, 1, 3, '20030804110611', 0,
'ConnectionTimeout 是「連線」的逾時，查詢要設的是 CommandTimeout，
ADOQuery 和 ADOConnection 都有這個屬性，預設是 30 秒：

ADOQuery1.CommandTimeout := 300;'),
(1034, 2, 7, '20030804120607', 1,
gb('改了 CommandTimeout 就好了，原来是两个不同的属性，谢谢！')),
(1034, 3, 2, '20030805120615', 0,
'50 秒的查詢也可以看看是不是少了索引，用查詢分析器的「顯示執行計劃」看一下。');

INSERT INTO FORUM_TOPICS (TOPIC_ID, FORUM_ID, CAT_ID, T_AUTHOR, T_DATE, T_REPLIES, T_LAST_POST, T_GOOD, T_CODESYSTEM,
  T_FILENAME, T_FILESIZE, T_SUBJECT, T_MESSAGE) VALUES
(1055, 104, 15, 12, '20031125151019', 3, '20031126184010', 'N', 0, NULL, NULL,
'日期欄位查詢 #2003/05/01# 格式',
'Access 的日期查詢寫成
select * from Orders where OrderDate >= #2003/11/01#
在 Access 裡可以，但是用 ADO 執行，系統日期格式改成民國年的電腦就查不到資料。');
INSERT INTO FORUM_REPLY (TOPIC_ID, REPLY_ID, R_AUTHOR, R_DATE, R_CODESYSTEM, R_MESSAGE) VALUES
(1055, 1, 4, '20031125164024', 0,
'用參數就不會受地區設定影響：

ADOQuery1.SQL.Text := ''select * from Orders where OrderDate >= :d'';
ADOQuery1.Parameters.ParamByName(''d'').Value := EncodeDate(2003, 11, 1);'),
(1055, 2, 12, '20031125184038', 0,
'改用參數之後正常了。之前還在想要怎麼把民國年轉回去…'),
(1055, 3, 6, '20031126184010', 0,
'如果一定要組字串，用 FormatDateTime(''yyyy"/"mm"/"dd'', D)，
日期分隔字元用雙引號括起來，就不會被換成地區設定的符號。');

-- ==================== 105 Socket 與 Indy ====================

INSERT INTO FORUM_TOPICS (TOPIC_ID, FORUM_ID, CAT_ID, T_AUTHOR, T_DATE, T_REPLIES, T_LAST_POST, T_GOOD, T_CODESYSTEM,
  T_FILENAME, T_FILESIZE, T_SUBJECT, T_MESSAGE) VALUES
(1012, 105, 12, 3, '20030311233057', 6, '20030315113020', 'Y', 0, 'chat_server.zip', 35840,
'Indy 9 TIdTCPServer 多人連線範例',
'這陣子很多人問聊天室要怎麼寫，整理了一個用 Indy 9 的多人聊天伺服器範例。

重點：
1. TIdTCPServer 每一個連線都跑在自己的執行緒，OnExecute 裡面可以直接用 ReadLn 阻塞等待。
2. 要送訊息給所有人，用 Threads.LockList 取得連線清單，用完一定要 UnlockList。
3. OnExecute 裡面不能直接動 VCL 元件，要用 TIdSync 或 Synchronize。

procedure TfrmServer.IdTCPServer1Execute(AThread: TIdPeerThread);
var
  Msg: string;
  List: TList;
  I: Integer;
begin
  Msg := AThread.Connection.ReadLn;
  List := IdTCPServer1.Threads.LockList;
  try
    for I := 0 to List.Count - 1 do
      TIdPeerThread(List[I]).Connection.WriteLn(Msg);
  finally
    IdTCPServer1.Threads.UnlockList;
  end;
end;

完整專案 (含 Client) 在附件，Indy 請用 9.0.14 以後的版本。
Indy 的官方網站：[url=http://www.indyproject.org/]Indy Project[/url]');
INSERT INTO FORUM_REPLY (TOPIC_ID, REPLY_ID, R_AUTHOR, R_DATE, R_CODESYSTEM, R_MESSAGE) VALUES
(1012, 1, 9, '20030312003024', 0,
'太感謝了！剛好需要這個。'),
(1012, 2, 10, '20030313023038', 0,
'請問 Client 斷線的時候 Server 會出現 EIdConnClosedGracefully 的錯誤訊息，這正常嗎？'),
(1012, 3, 3, '20030313053038', 0,
'正常，那是 Indy 用例外來通知連線關閉，在 IDE 裡才會跳出來。
可以在 Debugger Options 把 EIdConnClosedGracefully 加到忽略清單。'),
(1012, 4, 13, '20030315053043', 1,
gb('请问这个例子最多能支持多少个连接？我们需要同时 500 个左右。')),
(1012, 5, 3, '20030315103049', 0,
'每個連線一條執行緒，500 條在 Win2000 上還撐得住，
但每條執行緒預設 1MB 堆疊，記憶體會吃掉不少。
再多的話要考慮 IOCP 或是改用非阻塞的方式。'),
(1012, 6, 13, '20030315113020', 1,
gb('明白了，我们先用这个架构试试，谢谢楼主。'));

INSERT INTO FORUM_TOPICS (TOPIC_ID, FORUM_ID, CAT_ID, T_AUTHOR, T_DATE, T_REPLIES, T_LAST_POST, T_GOOD, T_CODESYSTEM,
  T_FILENAME, T_FILESIZE, T_SUBJECT, T_MESSAGE) VALUES
(1020, 105, 12, 8, '20030513104008', 5, '20030516163048', 'N', 0, NULL, NULL,
'ClientSocket 收資料不完整',
'用 TClientSocket (ctNonBlocking) 接收 Server 傳來的資料，
Server 一次送 8000 多 bytes，OnRead 裡面用 ReceiveText 收，
常常只收到一半，剩下的跑到下一次 OnRead，兩筆資料還會黏在一起。');
INSERT INTO FORUM_REPLY (TOPIC_ID, REPLY_ID, R_AUTHOR, R_DATE, R_CODESYSTEM, R_MESSAGE) VALUES
(1020, 1, 3, '20030513113045', 0,
'TCP 是串流，沒有「一筆」的概念，送 8000 收到兩次 4000 是正常的，
兩次 send 被合成一次收到也是正常的。
要自己定封包格式，例如前面 4 bytes 放長度：

procedure TForm1.ClientSocket1Read(Sender: TObject; Socket: TCustomWinSocket);
var
  Len: Integer;
begin
  Buf := Buf + Socket.ReceiveText;
  while Length(Buf) >= 4 do
  begin
    Move(Buf[1], Len, 4);
    if Length(Buf) < Len + 4 then Break;
    HandlePacket(Copy(Buf, 5, Len));
    Delete(Buf, 1, Len + 4);
  end;
end;'),
(1020, 2, 8, '20030513133019', 0,
'原來是這樣…一直以為 send 一次就會 recv 一次。'),
(1020, 3, 6, '20030514133019', 0,
'另外 ReceiveText 遇到資料裡有 #0 會被截斷，送二進位資料要改用 ReceiveBuf。'),
(1020, 4, 8, '20030514163053', 0,
'改成長度加內容的格式之後都正常了，謝謝兩位！'),
(1020, 5, 14, '20030516163048', 0,
'推這篇，這個問題每個月都有人問一次 <img src=icon_smile_wink.gif border=0>');

INSERT INTO FORUM_TOPICS (TOPIC_ID, FORUM_ID, CAT_ID, T_AUTHOR, T_DATE, T_REPLIES, T_LAST_POST, T_GOOD, T_CODESYSTEM,
  T_FILENAME, T_FILESIZE, T_SUBJECT, T_MESSAGE) VALUES
(1033, 105, 12, 11, '20030729162009', 3, '20030729195502', 'N', 0, NULL, NULL,
'用 TIdHTTP 下載檔案並顯示進度',
'用 IdHTTP1.Get(URL, FileStream) 下載檔案，想加一個 ProgressBar 顯示進度，
要用哪個事件？');
INSERT INTO FORUM_REPLY (TOPIC_ID, REPLY_ID, R_AUTHOR, R_DATE, R_CODESYSTEM, R_MESSAGE) VALUES
(1033, 1, 4, '20030729165509', 0,
'OnWorkBegin 拿得到總長度 (AWorkCountMax)，OnWork 拿得到目前長度：

procedure TForm1.IdHTTP1WorkBegin(Sender: TObject; AWorkMode: TWorkMode;
  const AWorkCountMax: Integer);
begin
  ProgressBar1.Max := AWorkCountMax;
end;

procedure TForm1.IdHTTP1Work(Sender: TObject; AWorkMode: TWorkMode;
  const AWorkCount: Integer);
begin
  ProgressBar1.Position := AWorkCount;
  Application.ProcessMessages;
end;

Server 沒有傳 Content-Length 的話 AWorkCountMax 會是 0。'),
(1033, 2, 11, '20030729175502', 0,
'可以動了，不過下載的時候視窗拖不動，要放到執行緒裡面嗎？'),
(1033, 3, 4, '20030729195502', 0,
'Indy 是阻塞式的，加 TIdAntiFreeze 元件到表單上就不會卡住畫面，
要更好的話才放到執行緒。');

INSERT INTO FORUM_TOPICS (TOPIC_ID, FORUM_ID, CAT_ID, T_AUTHOR, T_DATE, T_REPLIES, T_LAST_POST, T_GOOD, T_CODESYSTEM,
  T_FILENAME, T_FILESIZE, T_SUBJECT, T_MESSAGE) VALUES
(1045, 105, 12, 10, '20031002090541', 4, '20031003125512', 'N', 0, NULL, NULL,
'TIdSMTP 寄信中文主旨亂碼',
'用 Indy 9 的 TIdSMTP 寄信，內文中文正常，
主旨在 Outlook Express 看是正常的，在 Hotmail 看卻是一堆問號。');
INSERT INTO FORUM_REPLY (TOPIC_ID, REPLY_ID, R_AUTHOR, R_DATE, R_CODESYSTEM, R_MESSAGE) VALUES
(1045, 1, 3, '20031002102541', 0,
'主旨要照 RFC 2047 編碼，寫成 =?big5?B?...?= 的格式，
Indy 9 的 TIdMessage 在 CharSet 有設的時候會自己編碼，
先設 IdMessage1.CharSet := ''big5''; 試試。'),
(1045, 2, 10, '20031002122500', 0,
'設了 CharSet 主旨就正常了，可是收件人名稱還是亂碼。'),
(1045, 3, 3, '20031002125518', 0,
'收件人名稱也一樣，Recipients 的 Name 用 EncodeHeader 包一下再指定。'),
(1045, 4, 10, '20031003125512', 0,
'OK 了，謝謝 cyberfox！');

INSERT INTO FORUM_TOPICS (TOPIC_ID, FORUM_ID, CAT_ID, T_AUTHOR, T_DATE, T_REPLIES, T_LAST_POST, T_GOOD, T_CODESYSTEM,
  T_FILENAME, T_FILESIZE, T_SUBJECT, T_MESSAGE) VALUES
(1057, 105, 12, 13, '20031203140202', 2, '20031203180235', 'N', 1, NULL, NULL,
gb('Indy 的 TIdUDPServer 收不到广播包'),
gb('局域网内用 TIdUDPClient 发送广播 (Host 设为 255.255.255.255，BroadcastEnabled := True)，
另一台机器上的 TIdUDPServer 绑定 8000 端口，却收不到任何数据，
同一台机器上测试是正常的。'));
INSERT INTO FORUM_REPLY (TOPIC_ID, REPLY_ID, R_AUTHOR, R_DATE, R_CODESYSTEM, R_MESSAGE) VALUES
(1057, 1, 6, '20031203150208', 0,
'先確認兩台電腦的防火牆 (XP 內建的網際網路連線防火牆) 有沒有擋 UDP 8000。
另外有些交換器和無線基地台預設不轉送 255.255.255.255，
改送子網路廣播位址試試，例如 192.168.1.255。'),
(1057, 2, 13, '20031203180235', 1,
gb('果然是 XP 的防火墙挡住了，关掉就收到了。多谢！'));

-- ==================== 106 Win32 API 與 DLL ====================

INSERT INTO FORUM_TOPICS (TOPIC_ID, FORUM_ID, CAT_ID, T_AUTHOR, T_DATE, T_REPLIES, T_LAST_POST, T_GOOD, T_CODESYSTEM,
  T_FILENAME, T_FILESIZE, T_SUBJECT, T_MESSAGE) VALUES
(1006, 106, 14, 9, '20030127201013', 4, '20030129004010', 'N', 0, NULL, NULL,
'Delphi 寫的 DLL 傳回字串給 VB 使用',
'用 Delphi 寫一個 DLL 給 VB 的同事呼叫，函式傳回 string，
VB 呼叫之後整個程式就當掉了，請問要怎麼宣告？');
INSERT INTO FORUM_REPLY (TOPIC_ID, REPLY_ID, R_AUTHOR, R_DATE, R_CODESYSTEM, R_MESSAGE) VALUES
(1006, 1, 2, '20030127204058', 0,
'DLL 的介面不要用 Delphi 的 string，那是 Delphi 專用的型別。
最好的方式是讓呼叫端準備緩衝區，DLL 只負責填：

function GetName(Buf: PChar; BufSize: Integer): Integer; stdcall;
var
  S: string;
begin
  S := ''測試字串'';
  StrPLCopy(Buf, S, BufSize - 1);
  Result := Length(S);
end;

exports GetName;

VB 那邊宣告成 ByVal Buf As String，先用 String$(256, 0) 配好空間。'),
(1006, 2, 9, '20030127214050', 0,
'改成這樣就不會當了，原來是 string 的問題。'),
(1006, 3, 14, '20030128004057', 0,
'還有一個容易忘的：DLL 的呼叫慣例一定要寫 stdcall，VB 只認 stdcall。
如果 DLL 內部有用到 string 傳給 Delphi 程式，才需要 ShareMem。'),
(1006, 4, 3, '20030129004010', 0,
'BCB 呼叫 Delphi DLL 也是一樣的道理，char* 加 __stdcall 就可以。');

INSERT INTO FORUM_TOPICS (TOPIC_ID, FORUM_ID, CAT_ID, T_AUTHOR, T_DATE, T_REPLIES, T_LAST_POST, T_GOOD, T_CODESYSTEM,
  T_FILENAME, T_FILESIZE, T_SUBJECT, T_MESSAGE) VALUES
(1016, 106, 14, 12, '20030402113551', 3, '20030403153502', 'N', 0, NULL, NULL,
'如何取得硬碟序號',
'要做簡單的軟體保護，想讀硬碟的序號，
GetVolumeInformation 拿到的序號 format 之後就會變，有沒有辦法拿到出廠序號？');
INSERT INTO FORUM_REPLY (TOPIC_ID, REPLY_ID, R_AUTHOR, R_DATE, R_CODESYSTEM, R_MESSAGE) VALUES
(1016, 1, 6, '20030402133557', 0,
'GetVolumeInformation 拿到的是磁碟區序號，format 就換。
出廠序號要用 DeviceIoControl 送 SMART_RCV_DRIVE_DATA (IDENTIFY)，
Win2000/XP 要系統管理員權限才能開 \\.\PhysicalDrive0。
Win98 要用 smartvsd.vxd。寫起來不短，網路上搜尋 diskid32 有現成的 C 原始碼可以參考。'),
(1016, 2, 12, '20030403133519', 0,
'一般使用者權限拿不到的話就不太適合了，改用網卡 MAC 好了。'),
(1016, 3, 2, '20030403153502', 0,
'MAC 也可以被改，而且有些電腦有好幾張網卡 (還有撥接的虛擬網卡)。
保護做到某個程度就好，多個條件組合起來比單一條件可靠。');

INSERT INTO FORUM_TOPICS (TOPIC_ID, FORUM_ID, CAT_ID, T_AUTHOR, T_DATE, T_REPLIES, T_LAST_POST, T_GOOD, T_CODESYSTEM,
  T_FILENAME, T_FILESIZE, T_SUBJECT, T_MESSAGE) VALUES
(1024, 106, 14, 4, '20030603215009', 3, '20030606015029', 'Y', 0, NULL, NULL,
'系統匣 (Tray) 圖示範例',
'不用元件，直接呼叫 Shell_NotifyIcon 把程式放到右下角：

uses ShellAPI;

const
  WM_TRAYICON = WM_USER + 1;

procedure TForm1.FormCreate(Sender: TObject);
begin
  FillChar(FNid, SizeOf(FNid), 0);
  FNid.cbSize := SizeOf(FNid);
  FNid.Wnd := Handle;
  FNid.uID := 1;
  FNid.uFlags := NIF_ICON or NIF_MESSAGE or NIF_TIP;
  FNid.uCallbackMessage := WM_TRAYICON;
  FNid.hIcon := Application.Icon.Handle;
  StrPCopy(FNid.szTip, ''我的小工具'');
  Shell_NotifyIcon(NIM_ADD, @FNid);
end;

procedure TForm1.FormDestroy(Sender: TObject);
begin
  Shell_NotifyIcon(NIM_DELETE, @FNid);
end;

在 WM_TRAYICON 的訊息處理裡判斷 LParam 是 WM_LBUTTONDBLCLK 還是 WM_RBUTTONUP，
右鍵就用 PopupMenu1.Popup 跳出選單，跳出前先 SetForegroundWindow(Handle)，
不然選單點別的地方不會消失。');
INSERT INTO FORUM_REPLY (TOPIC_ID, REPLY_ID, R_AUTHOR, R_DATE, R_CODESYSTEM, R_MESSAGE) VALUES
(1024, 1, 11, '20030604005004', 0,
'請問 Explorer 當掉重新啟動之後圖示就不見了，要怎麼處理？'),
(1024, 2, 4, '20030604015041', 0,
'註冊 TaskbarCreated 訊息，收到的時候再 NIM_ADD 一次：
WM_TASKBARCREATED := RegisterWindowMessage(''TaskbarCreated'');'),
(1024, 3, 10, '20030606015029', 0,
'好文推一下，收藏了 <img src=icon_smile.gif border=0>');

INSERT INTO FORUM_TOPICS (TOPIC_ID, FORUM_ID, CAT_ID, T_AUTHOR, T_DATE, T_REPLIES, T_LAST_POST, T_GOOD, T_CODESYSTEM,
  T_FILENAME, T_FILESIZE, T_SUBJECT, T_MESSAGE) VALUES
(1043, 106, 14, 10, '20030923221559', 4, '20030925014521', 'N', 0, NULL, NULL,
'全域鍵盤 Hook 只能抓到自己程式的按鍵',
'用 SetWindowsHookEx(WH_KEYBOARD, ...) 做全域鍵盤監控，
可是只有焦點在自己程式的時候才抓得到，切到記事本就沒反應。');
INSERT INTO FORUM_REPLY (TOPIC_ID, REPLY_ID, R_AUTHOR, R_DATE, R_CODESYSTEM, R_MESSAGE) VALUES
(1043, 1, 3, '20030923231507', 0,
'WH_KEYBOARD 的全域 Hook，Hook 程序一定要放在 DLL 裡面，
因為系統要把那個 DLL 載入到每一個程式裡。
SetWindowsHookEx 的第三個參數傳 DLL 的 HInstance，最後一個參數傳 0。'),
(1043, 2, 10, '20030924011523', 0,
'放到 DLL 之後抓得到了，可是要把按鍵傳回主程式的時候，
DLL 裡的全域變數在別的程式裡都是 0…'),
(1043, 3, 3, '20030924014539', 0,
'每個程式載入的 DLL 有各自的資料區，要共用資料就用 Memory Mapped File
(CreateFileMapping / MapViewOfFile)，把主程式的視窗 Handle 放進去，
Hook 程序再用 PostMessage 通知主程式。
如果是 NT/2000/XP，也可以改用 WH_KEYBOARD_LL，不需要 DLL。'),
(1043, 4, 10, '20030925014521', 0,
'改用 WH_KEYBOARD_LL 簡單多了，謝謝！');

INSERT INTO FORUM_TOPICS (TOPIC_ID, FORUM_ID, CAT_ID, T_AUTHOR, T_DATE, T_REPLIES, T_LAST_POST, T_GOOD, T_CODESYSTEM,
  T_FILENAME, T_FILESIZE, T_SUBJECT, T_MESSAGE) VALUES
(1053, 106, 14, 14, '20031111103023', 3, '20031112133056', 'N', 0, NULL, NULL,
'執行外部程式並等待結束 (CreateProcess)',
'分享一個常用的函式：執行外部程式，等它結束再繼續，並取得結束代碼。

function ExecAndWait(const CmdLine: string; Show: Word): DWORD;
var
  SI: TStartupInfo;
  PI: TProcessInformation;
begin
  FillChar(SI, SizeOf(SI), 0);
  SI.cb := SizeOf(SI);
  SI.dwFlags := STARTF_USESHOWWINDOW;
  SI.wShowWindow := Show;
  if not CreateProcess(nil, PChar(CmdLine), nil, nil, False, 0, nil, nil, SI, PI) then
    RaiseLastOSError;
  WaitForSingleObject(PI.hProcess, INFINITE);
  GetExitCodeProcess(PI.hProcess, Result);
  CloseHandle(PI.hThread);
  CloseHandle(PI.hProcess);
end;');
INSERT INTO FORUM_REPLY (TOPIC_ID, REPLY_ID, R_AUTHOR, R_DATE, R_CODESYSTEM, R_MESSAGE) VALUES
(1053, 1, 8, '20031111123000', 0,
'等待的時候畫面不會重畫，要怎麼改？'),
(1053, 2, 14, '20031111133022', 0,
'把 WaitForSingleObject 換成迴圈：
while MsgWaitForMultipleObjects(1, PI.hProcess, False, INFINITE, QS_ALLINPUT) = WAIT_OBJECT_0 + 1 do
  Application.ProcessMessages;'),
(1053, 3, 2, '20031112133056', 0,
'小提醒：D5 以前沒有 RaiseLastOSError，要用 RaiseLastWin32Error。');

-- ==================== 107 C++ Builder 入門 ====================

INSERT INTO FORUM_TOPICS (TOPIC_ID, FORUM_ID, CAT_ID, T_AUTHOR, T_DATE, T_REPLIES, T_LAST_POST, T_GOOD, T_CODESYSTEM,
  T_FILENAME, T_FILESIZE, T_SUBJECT, T_MESSAGE) VALUES
(1010, 107, 2, 11, '20030225135048', 4, '20030226181022', 'N', 0, NULL, NULL,
'BCB6 的 AnsiString 和 std::string 互轉',
'程式裡有一些用 STL 寫的舊模組，介面都是 std::string，
可是 VCL 元件都用 AnsiString，要怎麼互相轉換？');
INSERT INTO FORUM_REPLY (TOPIC_ID, REPLY_ID, R_AUTHOR, R_DATE, R_CODESYSTEM, R_MESSAGE) VALUES
(1010, 1, 3, '20030225141026', 0,
'都透過 c_str() 就可以：

std::string s1 = Edit1->Text.c_str();
AnsiString a1 = s1.c_str();

注意 AnsiString 的索引是從 1 開始的，a1[1] 是第一個字元，
std::string 的 s1[0] 才是第一個字元，兩邊混用的時候很容易差一個。'),
(1010, 2, 11, '20030225151049', 0,
'原來都是用 c_str() 轉，感謝。'),
(1010, 3, 4, '20030225181008', 0,
'資料裡有 ''\0'' 的話 c_str() 會被截斷，那種情況要用
std::string(a1.c_str(), a1.Length()) 指定長度。'),
(1010, 4, 3, '20030226181022', 0,
'另外 AnsiString 是 reference counting，當參數傳遞要用 const AnsiString&，
不然每次都多一次引用計數的處理。');

INSERT INTO FORUM_TOPICS (TOPIC_ID, FORUM_ID, CAT_ID, T_AUTHOR, T_DATE, T_REPLIES, T_LAST_POST, T_GOOD, T_CODESYSTEM,
  T_FILENAME, T_FILESIZE, T_SUBJECT, T_MESSAGE) VALUES
(1023, 107, 2, 5, '20030530235835', 3, '20030602115800', 'N', 0, NULL, NULL,
'[Linker Fatal Error] Unable to open file ''VCL60.BPI''',
'剛裝好 BCB6，開新專案什麼都沒加直接 Run 就出現
[Linker Fatal Error] Fatal: Unable to open file ''VCL60.BPI''
重灌兩次了還是一樣，快瘋了 <img src=icon_smile_shock.gif border=0>');
INSERT INTO FORUM_REPLY (TOPIC_ID, REPLY_ID, R_AUTHOR, R_DATE, R_CODESYSTEM, R_MESSAGE) VALUES
(1023, 1, 3, '20030531075816', 0,
'檢查一下 Project -> Options -> Directories/Conditionals 的 Library path，
裡面應該要有 $(BCB)\lib;$(BCB)\lib\obj;$(BCB)\lib\release。
另外 BCB 最好不要裝在路徑有空白的目錄 (例如 Program Files)，
有些版本的 linker 對含空白的長檔名處理有問題。'),
(1023, 2, 5, '20030531115800', 0,
'Library path 真的是空的！補上之後可以編譯了，謝謝！'),
(1023, 3, 9, '20030602115800', 0,
'順便在 Tools -> Environment Options -> Environment Variables 確認 BCB 變數指到正確的安裝目錄。');

INSERT INTO FORUM_TOPICS (TOPIC_ID, FORUM_ID, CAT_ID, T_AUTHOR, T_DATE, T_REPLIES, T_LAST_POST, T_GOOD, T_CODESYSTEM,
  T_FILENAME, T_FILESIZE, T_SUBJECT, T_MESSAGE) VALUES
(1036, 107, 2, 8, '20030812151559', 4, '20030814170514', 'N', 0, NULL, NULL,
'如何在 BCB 動態產生按鈕並共用事件',
'想在執行時依資料庫內容產生一排按鈕，
每個按鈕按下去都呼叫同一個函式，但要知道是哪一顆被按，要怎麼寫？');
INSERT INTO FORUM_REPLY (TOPIC_ID, REPLY_ID, R_AUTHOR, R_DATE, R_CODESYSTEM, R_MESSAGE) VALUES
(1036, 1, 3, '20030812154539', 0,
'用 Tag 記編號，事件裡面把 Sender 轉回 TButton：

void __fastcall TForm1::FormCreate(TObject *Sender)
{
    for (int i = 0; i < 5; ++i) {
        TButton *b = new TButton(this);   // Owner 是 Form，會自動釋放
        b->Parent = Panel1;
        b->Left = 8 + i * 80;
        b->Top = 8;
        b->Caption = "按鈕 " + IntToStr(i + 1);
        b->Tag = i;
        b->OnClick = ButtonClick;
    }
}

void __fastcall TForm1::ButtonClick(TObject *Sender)
{
    TButton *b = dynamic_cast<TButton *>(Sender);
    if (b)
        ShowMessage("按了第 " + IntToStr(b->Tag + 1) + " 個");
}

ButtonClick 要在 .h 的 __published 或 public 區宣告成 __fastcall。'),
(1036, 2, 8, '20030812164518', 0,
'可以動了！Owner 設成 this 就不用自己 delete 對吧？'),
(1036, 3, 3, '20030812170539', 0,
'對，Form 釋放的時候會把它 Own 的元件一起釋放。
如果要在執行中移除某一顆按鈕，直接 delete b 就好，它會自己從 Owner 的清單移除。'),
(1036, 4, 12, '20030814170514', 0,
'受教了，原來 Tag 這樣用。');

INSERT INTO FORUM_TOPICS (TOPIC_ID, FORUM_ID, CAT_ID, T_AUTHOR, T_DATE, T_REPLIES, T_LAST_POST, T_GOOD, T_CODESYSTEM,
  T_FILENAME, T_FILESIZE, T_SUBJECT, T_MESSAGE) VALUES
(1042, 107, 2, 13, '20030918164008', 3, '20030919234019', 'N', 1, NULL, NULL,
gb('C++ Builder 6 中 TStringList 排序中文的问题'),
gb('TStringList 的 Sort 对中文排序结果很奇怪，
既不是按拼音也不是按笔画，有什么办法能按拼音排序吗？'));
INSERT INTO FORUM_REPLY (TOPIC_ID, REPLY_ID, R_AUTHOR, R_DATE, R_CODESYSTEM, R_MESSAGE) VALUES
(1042, 1, 3, '20030918184059', 0,
'TStringList::Sort 用的是 AnsiCompareText，依照系統地區設定呼叫 CompareString，
簡體中文 Windows 預設就是拼音排序，繁體中文 Windows 是筆劃排序。
要固定用拼音，可以用 CustomSort 自己呼叫 CompareString，
Locale 指定 MAKELCID(MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED), SORT_CHINESE_PRCP)。'),
(1042, 2, 13, '20030918234037', 1,
gb('原来跟系统的区域设置有关，客户用的是繁体 Windows，难怪顺序不对。
按照你说的用 CustomSort 指定 Locale 之后就正常了。')),
(1042, 3, 7, '20030919234019', 1,
gb('学习了，之前一直自己做拼音对照表，原来系统就有。'));

INSERT INTO FORUM_TOPICS (TOPIC_ID, FORUM_ID, CAT_ID, T_AUTHOR, T_DATE, T_REPLIES, T_LAST_POST, T_GOOD, T_CODESYSTEM,
  T_FILENAME, T_FILESIZE, T_SUBJECT, T_MESSAGE) VALUES
(1060, 107, 2, 4, '20031222112509', 3, '20031222154006', 'N', 0, NULL, NULL,
'發佈程式時需要帶哪些檔案？',
'BCB6 寫好的程式拿到沒裝 BCB 的電腦上執行，
出現找不到 rtl60.bpl 和 vcl60.bpl，是不是要一起複製過去？');
INSERT INTO FORUM_REPLY (TOPIC_ID, REPLY_ID, R_AUTHOR, R_DATE, R_CODESYSTEM, R_MESSAGE) VALUES
(1060, 1, 3, '20031222114016', 0,
'Project -> Options：
Packages 頁把 Build with runtime packages 取消，
Linker 頁把 Use dynamic RTL 取消，
重新 Build 之後 exe 會變大，但不需要其他 bpl 和 cc3260mt.dll。'),
(1060, 2, 4, '20031222124041', 0,
'exe 從 30K 變成 600 多 K，可是在別台電腦可以跑了 <img src=icon_smile_big.gif border=0>'),
(1060, 3, 2, '20031222154006', 0,
'如果有用到 BDE 或 ADO 的話，資料庫引擎還是要另外安裝，那個沒辦法包進 exe。');

-- ==================== 108 BCB 進階技巧 ====================

INSERT INTO FORUM_TOPICS (TOPIC_ID, FORUM_ID, CAT_ID, T_AUTHOR, T_DATE, T_REPLIES, T_LAST_POST, T_GOOD, T_CODESYSTEM,
  T_FILENAME, T_FILESIZE, T_SUBJECT, T_MESSAGE) VALUES
(1025, 108, 22, 12, '20030610093012', 5, '20030611161511', 'N', 0, NULL, NULL,
'TThread 中更新 VCL 元件要用 Synchronize 嗎？',
'寫了一個執行緒從串列埠收資料，收到之後直接寫到 Memo1->Lines->Add，
大部份時候正常，偶爾整個程式會卡死。');
INSERT INTO FORUM_REPLY (TOPIC_ID, REPLY_ID, R_AUTHOR, R_DATE, R_CODESYSTEM, R_MESSAGE) VALUES
(1025, 1, 3, '20030610101542', 0,
'VCL 不是 thread-safe 的，執行緒裡面碰 VCL 元件一定要透過 Synchronize：

void __fastcall TReadThread::Execute()
{
    while (!Terminated) {
        FLine = ReadLine();          // 自己的讀取函式
        Synchronize(AddLine);
    }
}

void __fastcall TReadThread::AddLine()
{
    Form1->Memo1->Lines->Add(FLine);
}

Synchronize 會等主執行緒執行完才回來，資料量大的時候可以改用 PostMessage。'),
(1025, 2, 12, '20030610121514', 0,
'改成 Synchronize 之後就沒有再卡死了，謝謝。
另外請問串列埠收資料也會有 Socket 那種收一半的問題嗎？'),
(1025, 3, 6, '20030610131557', 0,
'會，一樣要自己判斷封包的結尾，道理跟 TCP 一樣，可以參考這篇：
http://www.velm.org.tw/topic.asp?TOPIC_ID=1020'),
(1025, 4, 14, '20030611131546', 0,
'另外執行緒結束的時候，Terminate 之後要 WaitFor，
而且 WaitFor 不能在 Synchronize 呼叫的函式裡面做，不然會互相等待。'),
(1025, 5, 12, '20030611161511', 0,
'了解，感謝各位的說明。');

INSERT INTO FORUM_TOPICS (TOPIC_ID, FORUM_ID, CAT_ID, T_AUTHOR, T_DATE, T_REPLIES, T_LAST_POST, T_GOOD, T_CODESYSTEM,
  T_FILENAME, T_FILESIZE, T_SUBJECT, T_MESSAGE) VALUES
(1037, 108, 22, 10, '20030819211208', 3, '20030820004251', 'N', 0, NULL, NULL,
'BCB 呼叫 Delphi 寫的 DLL 字串問題',
'同事用 Delphi 寫了一個 DLL，函式宣告
function Encrypt(S: string): string; stdcall;
我在 BCB 這邊要怎麼宣告才能呼叫？試了 char* 都會當掉。');
INSERT INTO FORUM_REPLY (TOPIC_ID, REPLY_ID, R_AUTHOR, R_DATE, R_CODESYSTEM, R_MESSAGE) VALUES
(1037, 1, 3, '20030819221217', 0,
'那個 DLL 的介面用了 Delphi 的 string，只有 Delphi (或 BCB 透過 ShareMem/borlndmm.dll) 才能正確使用。
請同事改成 PChar 加緩衝區的寫法，這篇有完整的說明：
[url=http://www.velm.org.tw/topic.asp?TOPIC_ID=1006]Delphi 寫的 DLL 傳回字串[/url]'),
(1037, 2, 10, '20030820001237', 0,
'請同事改成 PChar 的版本了，BCB 這邊宣告成
extern "C" int __stdcall Encrypt(char *src, char *buf, int size);
用 LoadLibrary/GetProcAddress 就正常了。'),
(1037, 3, 3, '20030820004251', 0,
'extern "C" 很重要，不然 C++ 的名稱修飾會讓 GetProcAddress 找不到。');

INSERT INTO FORUM_TOPICS (TOPIC_ID, FORUM_ID, CAT_ID, T_AUTHOR, T_DATE, T_REPLIES, T_LAST_POST, T_GOOD, T_CODESYSTEM,
  T_FILENAME, T_FILESIZE, T_SUBJECT, T_MESSAGE) VALUES
(1049, 108, 22, 9, '20031021170507', 4, '20031022190522', 'N', 0, NULL, NULL,
'使用 STL map 存放物件指標的記憶體釋放',
'std::map<int, TCustomer*> 存了很多 new 出來的物件，
程式結束的時候 CodeGuard 報了一堆 memory leak，
map 被 destroy 的時候不會幫我 delete 嗎？');
INSERT INTO FORUM_REPLY (TOPIC_ID, REPLY_ID, R_AUTHOR, R_DATE, R_CODESYSTEM, R_MESSAGE) VALUES
(1049, 1, 3, '20031021174508', 0,
'不會，map 只負責它自己存的東西，存的是指標就只會釋放指標本身。
要自己跑一次迴圈 delete：

for (std::map<int, TCustomer*>::iterator it = m.begin(); it != m.end(); ++it)
    delete it->second;
m.clear();

或是改存物件本身 (std::map<int, TCustomer>)，或用智慧型指標。'),
(1049, 2, 9, '20031021184542', 0,
'可以用 std::auto_ptr 放到 map 裡面嗎？'),
(1049, 3, 3, '20031021190504', 0,
'不行！auto_ptr 複製的時候會轉移所有權，放進 STL 容器會出大問題。
可以用 boost::shared_ptr，BCB6 編譯 boost 1.30 大部分都可以過。'),
(1049, 4, 6, '20031022190522', 0,
'推 cyberfox 的說明，auto_ptr 放容器是經典的陷阱。');

INSERT INTO FORUM_TOPICS (TOPIC_ID, FORUM_ID, CAT_ID, T_AUTHOR, T_DATE, T_REPLIES, T_LAST_POST, T_GOOD, T_CODESYSTEM,
  T_FILENAME, T_FILESIZE, T_SUBJECT, T_MESSAGE) VALUES
(1062, 108, 22, 14, '20040108204018', 4, '20040110024002', 'N', 0, NULL, NULL,
'自製元件 (Component) 安裝到元件盤',
'寫了一個繼承 TEdit 的元件 (只能輸入數字)，要怎麼裝到元件盤上？
Install Component 之後元件盤上沒有出現。');
INSERT INTO FORUM_REPLY (TOPIC_ID, REPLY_ID, R_AUTHOR, R_DATE, R_CODESYSTEM, R_MESSAGE) VALUES
(1062, 1, 3, '20040108214038', 0,
'.cpp 裡要有 Register 函式，而且要放在同名的 namespace 裡，namespace 名稱的第一個字母大寫、其餘小寫：

namespace Numedit
{
    void __fastcall PACKAGE Register()
    {
        TComponentClass classes[1] = {__classid(TNumEdit)};
        RegisterComponents("Velm", classes, 0);
    }
}

大小寫不對就不會出現，這個 BCB 的規定很多人都不知道。'),
(1062, 2, 14, '20040108234027', 0,
'就是 namespace 大小寫的問題！改了就出現了，謝謝。'),
(1062, 3, 5, '20040109234040', 0,
'請問 Delphi 也要這樣嗎？'),
(1062, 4, 2, '20040110024002', 0,
'Delphi 不用，在 unit 裡寫 procedure Register; 就可以了，名稱不分大小寫。');

-- ==================== 109 Kylix 程式設計 ====================

INSERT INTO FORUM_TOPICS (TOPIC_ID, FORUM_ID, CAT_ID, T_AUTHOR, T_DATE, T_REPLIES, T_LAST_POST, T_GOOD, T_CODESYSTEM,
  T_FILENAME, T_FILESIZE, T_SUBJECT, T_MESSAGE) VALUES
(1021, 109, 3, 9, '20030519221018', 5, '20030523025008', 'N', 0, NULL, NULL,
'Kylix 3 在 RedHat 9 安裝失敗',
'在 RedHat 9 上裝 Kylix 3 Open Edition，setup.sh 跑完之後執行 startdelphi，
畫面閃一下就結束了，終端機看到 Segmentation fault。
同樣的光碟在 RedHat 7.3 是可以用的。');
INSERT INTO FORUM_REPLY (TOPIC_ID, REPLY_ID, R_AUTHOR, R_DATE, R_CODESYSTEM, R_MESSAGE) VALUES
(1021, 1, 6, '20030519231025', 0,
'RedHat 9 換了 NPTL 的執行緒函式庫，Kylix 3 的 IDE 跟它不合。
在執行之前設環境變數，讓它改用舊的 LinuxThreads：

export LD_ASSUME_KERNEL=2.4.1
startdelphi

可以寫進 ~/.bashrc，或是直接改 startdelphi 這個 script。'),
(1021, 2, 9, '20030519235050', 0,
'真的可以跑了！感謝老貓，查了一整晚都沒查到。'),
(1021, 3, 10, '20030520235016', 0,
'我也遇到，另外 RedHat 9 的 glibc 版本比較新，
Kylix 編出來的程式在 RedHat 9 上面執行也要設 LD_ASSUME_KERNEL 嗎？'),
(1021, 4, 6, '20030521025037', 0,
'編出來的程式有用到 libqtintf 的話，最好也設一下，不然有機會在結束的時候當掉。'),
(1021, 5, 1, '20030523025008', 0,
'這篇已加入精華區的 Kylix 常見問題，謝謝老貓。');

INSERT INTO FORUM_TOPICS (TOPIC_ID, FORUM_ID, CAT_ID, T_AUTHOR, T_DATE, T_REPLIES, T_LAST_POST, T_GOOD, T_CODESYSTEM,
  T_FILENAME, T_FILESIZE, T_SUBJECT, T_MESSAGE) VALUES
(1035, 109, 3, 2, '20030808100054', 3, '20030809170030', 'Y', 0, NULL, NULL,
'CLX 程式在 Windows 和 Linux 共用原始碼',
'分享一下用 CLX 寫跨平台程式的經驗。Delphi 6/7 開 CLX Application，
同一份原始碼在 Kylix 重新編譯就是 Linux 版。

要注意的地方：
1. uses 要用 QForms、QControls、QStdCtrls 這些 Q 開頭的單元，不要混用 VCL 的。
2. 檔名大小寫：Linux 分大小寫，uses 裡的單元名稱要跟檔名一樣。
3. 路徑分隔字元用 PathDelim，不要寫死 ''\''。
4. 平台相關的部分用條件編譯：

{$IFDEF MSWINDOWS}
  ShellExecute(0, ''open'', PChar(URL), nil, nil, SW_SHOWNORMAL);
{$ENDIF}
{$IFDEF LINUX}
  Libc.system(PChar(''mozilla '' + URL + '' &''));
{$ENDIF}

5. 資料庫用 dbExpress，兩邊都有驅動程式。

Kylix 的消息可以看 Borland 社群網站：http://community.borland.com/kylix');
INSERT INTO FORUM_REPLY (TOPIC_ID, REPLY_ID, R_AUTHOR, R_DATE, R_CODESYSTEM, R_MESSAGE) VALUES
(1035, 1, 6, '20030808150029', 0,
'整理得很好！補充一點：INI 檔在 Linux 通常放在家目錄的隱藏檔 (~/.myapp)，
用 GetEnvironmentVariable(''HOME'') 取得家目錄。'),
(1035, 2, 12, '20030809150049', 0,
'請問 CLX 的程式在 Windows 上要帶 qtintf70.dll 對吧？'),
(1035, 3, 2, '20030809170030', 0,
'對，Windows 上的 CLX 程式要附 qtintf70.dll，Linux 上則是 libqtintf-6.9.0-qt2.3.so。');

INSERT INTO FORUM_TOPICS (TOPIC_ID, FORUM_ID, CAT_ID, T_AUTHOR, T_DATE, T_REPLIES, T_LAST_POST, T_GOOD, T_CODESYSTEM,
  T_FILENAME, T_FILESIZE, T_SUBJECT, T_MESSAGE) VALUES
(1054, 109, 3, 13, '20031118193530', 4, '20031119235531', 'N', 1, NULL, NULL,
gb('Kylix 程序中无法输入中文'),
gb('Kylix 3 编的程序在 RedHat 9 简体中文环境下，
TEdit 里面按 Ctrl+Space 叫不出输入法，只能输入英文。
系统其他程序 (gedit 等) 都可以正常用输入法。'));
INSERT INTO FORUM_REPLY (TOPIC_ID, REPLY_ID, R_AUTHOR, R_DATE, R_CODESYSTEM, R_MESSAGE) VALUES
(1054, 1, 6, '20031118205545', 0,
'Kylix 用的是 Qt 2.3，要透過 XIM 接輸入法。
啟動程式前確認有設 XMODIFIERS，例如用 xcin 的話：
export XMODIFIERS="@im=xcin"
還有 LANG 要設成 zh_CN.GB2312 (繁體就是 zh_TW.Big5)，用 UTF-8 的 locale 會叫不出來。'),
(1054, 2, 13, '20031118225544', 1,
gb('RedHat 9 默认的 LANG 是 zh_CN.UTF-8，改成 zh_CN.GB2312 之后就可以输入了。
不过界面上的菜单又变成乱码了……')),
(1054, 3, 7, '20031118235519', 1,
gb('菜单乱码是因为源码文件是 GB 编码、程序运行在 GB 环境，
检查一下 Application.Font 的 CharSet，设成 GB2312_CHARSET 试试。')),
(1054, 4, 13, '20031119235531', 1,
gb('设置 CharSet 之后菜单也正常了，谢谢两位！'));

-- ==================== 110 Linux 安裝與設定 ====================

INSERT INTO FORUM_TOPICS (TOPIC_ID, FORUM_ID, CAT_ID, T_AUTHOR, T_DATE, T_REPLIES, T_LAST_POST, T_GOOD, T_CODESYSTEM,
  T_FILENAME, T_FILESIZE, T_SUBJECT, T_MESSAGE) VALUES
(1015, 110, 32, 8, '20030327202044', 4, '20030328231025', 'N', 0, NULL, NULL,
'Samba 分享目錄給 Windows 中文檔名亂碼',
'RedHat 8 裝 Samba 2.2.7 分享目錄，Windows XP 連進去之後，
在 Linux 上建立的中文檔名都是亂碼，從 Windows 複製進去的中文檔案在 Linux 上看也是亂碼。');
INSERT INTO FORUM_REPLY (TOPIC_ID, REPLY_ID, R_AUTHOR, R_DATE, R_CODESYSTEM, R_MESSAGE) VALUES
(1015, 1, 6, '20030327205050', 0,
'smb.conf 的 [global] 加上：

client code page = 950
character set = cp950

然後 /etc/init.d/smb restart。
Samba 3.0 以後改成 unix charset / dos charset 的設定方式，升級的時候要注意。'),
(1015, 2, 8, '20030327225005', 0,
'從 Windows 複製進去的正常了，可是原本在 Linux 上建的檔名還是亂碼。'),
(1015, 3, 6, '20030327231014', 0,
'原本的檔名是用 UTF-8 存的 (RedHat 8 預設 LANG=zh_TW.UTF-8)，
Samba 2.2 不會轉 UTF-8，要用 convmv 之類的工具轉成 Big5 檔名，
或是等 Samba 3.0 設 unix charset = UTF-8。'),
(1015, 4, 8, '20030328231025', 0,
'了解，先把舊檔名轉過去，謝謝老貓。');

INSERT INTO FORUM_TOPICS (TOPIC_ID, FORUM_ID, CAT_ID, T_AUTHOR, T_DATE, T_REPLIES, T_LAST_POST, T_GOOD, T_CODESYSTEM,
  T_FILENAME, T_FILESIZE, T_SUBJECT, T_MESSAGE) VALUES
(1031, 110, 32, 12, '20030714230526', 3, '20030716030554', 'N', 0, NULL, NULL,
'Apache + PHP + MySQL 架站步驟',
'公司要架一個內部用的留言板，想用 Linux + Apache + PHP + MySQL，
請問有沒有比較完整的安裝步驟可以參考？用 RPM 裝還是自己編譯比較好？');
INSERT INTO FORUM_REPLY (TOPIC_ID, REPLY_ID, R_AUTHOR, R_DATE, R_CODESYSTEM, R_MESSAGE) VALUES
(1031, 1, 6, '20030715000528', 0,
'內部用的話用 RPM 裝就好，更新比較方便：

rpm -q httpd php php-mysql mysql-server
service mysqld start
mysqladmin -u root password ''新密碼''
service httpd start
chkconfig httpd on
chkconfig mysqld on

網頁放在 /var/www/html，寫一個 phpinfo() 的頁面確認 PHP 有跑起來。
中文的教學可以參考鳥哥的網站：[url=http://linux.vbird.org/]鳥哥的 Linux 私房菜[/url]'),
(1031, 2, 12, '20030716000501', 0,
'照著做已經可以看到 phpinfo 了，謝謝。'),
(1031, 3, 9, '20030716030554', 0,
'記得 MySQL 的 root 一定要設密碼，而且 3306 不要對外開放。');

INSERT INTO FORUM_TOPICS (TOPIC_ID, FORUM_ID, CAT_ID, T_AUTHOR, T_DATE, T_REPLIES, T_LAST_POST, T_GOOD, T_CODESYSTEM,
  T_FILENAME, T_FILESIZE, T_SUBJECT, T_MESSAGE) VALUES
(1050, 110, 32, 10, '20031027114551', 3, '20031028141028', 'N', 0, NULL, NULL,
'crontab 排程沒有執行',
'用 crontab -e 加了一行每天凌晨備份資料庫：
0 3 * * * /home/mickey/backup.sh
手動執行 backup.sh 是正常的，可是排程時間到了都沒有產生備份檔。');
INSERT INTO FORUM_REPLY (TOPIC_ID, REPLY_ID, R_AUTHOR, R_DATE, R_CODESYSTEM, R_MESSAGE) VALUES
(1050, 1, 6, '20031027121008', 0,
'cron 執行的時候環境變數很少，PATH 只有 /usr/bin:/bin，
script 裡面的指令要寫完整路徑 (例如 /usr/local/mysql/bin/mysqldump)，
或是在 script 開頭自己設 PATH。
另外把輸出導到檔案，才看得到錯誤訊息：
0 3 * * * /home/mickey/backup.sh >> /tmp/backup.log 2>&1'),
(1050, 2, 10, '20031028121033', 0,
'看了 log 果然是 mysqldump: command not found，改成完整路徑就好了。'),
(1050, 3, 14, '20031028141028', 0,
'另外 script 裡有 % 的話 (例如 date +%Y%m%d)，直接寫在 crontab 那一行要跳脫成 \%。');

INSERT INTO FORUM_TOPICS (TOPIC_ID, FORUM_ID, CAT_ID, T_AUTHOR, T_DATE, T_REPLIES, T_LAST_POST, T_GOOD, T_CODESYSTEM,
  T_FILENAME, T_FILESIZE, T_SUBJECT, T_MESSAGE) VALUES
(1063, 110, 32, 7, '20040112213047', 3, '20040114003034', 'N', 1, NULL, NULL,
gb('Red Hat 9 下如何设置中文环境？'),
gb('刚装好 Red Hat 9，安装的时候没有选中文，
现在想改成简体中文界面，并且能输入中文，需要装哪些包？'));
INSERT INTO FORUM_REPLY (TOPIC_ID, REPLY_ID, R_AUTHOR, R_DATE, R_CODESYSTEM, R_MESSAGE) VALUES
(1063, 1, 6, '20040112223014', 0,
'用 redhat-config-language 選 Chinese (P.R. of China)，
它會提示放入光碟安裝需要的字型和輸入法 (miniChinput)。
裝完之後登出再登入，登入畫面的語言也選中文。'),
(1063, 2, 7, '20040113003007', 1,
gb('按照步骤装好了，界面已经是中文了。
不过 Mozilla 里显示的网页字体很难看，有没有办法改善？')),
(1063, 3, 6, '20040114003034', 0,
'字型可以裝文鼎的 ttf (ttfonts-zh_CN)，
Mozilla 的「編輯 -> 偏好設定 -> 外觀 -> 字型」把簡體中文的字型改成它。');

-- ==================== 111 元件使用討論 ====================

INSERT INTO FORUM_TOPICS (TOPIC_ID, FORUM_ID, CAT_ID, T_AUTHOR, T_DATE, T_REPLIES, T_LAST_POST, T_GOOD, T_CODESYSTEM,
  T_FILENAME, T_FILESIZE, T_SUBJECT, T_MESSAGE) VALUES
(1018, 111, 4, 10, '20030416142204', 4, '20030417202201', 'N', 0, NULL, NULL,
'FastReport 列印中文字型跑掉',
'FastReport 2.5 設計的報表，預覽的時候中文正常，
印到印表機上字型卻變成很醜的點陣字，而且位置也有偏移。');
INSERT INTO FORUM_REPLY (TOPIC_ID, REPLY_ID, R_AUTHOR, R_DATE, R_CODESYSTEM, R_MESSAGE) VALUES
(1018, 1, 4, '20030416152210', 0,
'Memo 的字型不要用「新細明體」以外的中文字型，有些印表機驅動程式會用印表機內建字型替換。
印表機內容 -> 進階 -> 把「以 TrueType 字型替換」關掉，改成「以軟體字型下載」試試。'),
(1018, 2, 10, '20030416172207', 0,
'驅動程式設定改了之後字型正常了，可是位置還是有偏一點。'),
(1018, 3, 9, '20030417172224', 0,
'位置偏移通常是印表機的邊界不同，報表的 Page 設定把邊界留大一點，
或是在 frReport 的 PrintOffset 做微調。
官方論壇也有討論：[url]http://www.fast-report.com/[/url]'),
(1018, 4, 10, '20030417202201', 0,
'調整邊界之後 OK 了，謝謝大家 <img src=icon_smile.gif border=0>');

INSERT INTO FORUM_TOPICS (TOPIC_ID, FORUM_ID, CAT_ID, T_AUTHOR, T_DATE, T_REPLIES, T_LAST_POST, T_GOOD, T_CODESYSTEM,
  T_FILENAME, T_FILESIZE, T_SUBJECT, T_MESSAGE) VALUES
(1029, 111, 4, 8, '20030701094028', 3, '20030701130031', 'N', 0, NULL, NULL,
'QuickReport 分組小計',
'用 QuickReport 3 做出貨單，要依客戶分組，每一組後面印小計，
放了 QRGroup 跟 QRBand (rbGroupFooter)，可是小計都是 0。');
INSERT INTO FORUM_REPLY (TOPIC_ID, REPLY_ID, R_AUTHOR, R_DATE, R_CODESYSTEM, R_MESSAGE) VALUES
(1029, 1, 2, '20030701104034', 0,
'QRExpr 的 Expression 寫 SUM(Query1.Amount)，
ResetAfterPrint 設成 True，每組印完才會歸零。
QRGroup 的 FooterBand 屬性要指到那個 GroupFooter，不然群組尾不會印。'),
(1029, 2, 8, '20030701124016', 0,
'FooterBand 沒有指定！設了之後小計就出來了。'),
(1029, 3, 2, '20030701130031', 0,
'還有資料一定要照分組欄位排序 (order by 客戶編號)，QuickReport 不會幫你排。');

INSERT INTO FORUM_TOPICS (TOPIC_ID, FORUM_ID, CAT_ID, T_AUTHOR, T_DATE, T_REPLIES, T_LAST_POST, T_GOOD, T_CODESYSTEM,
  T_FILENAME, T_FILESIZE, T_SUBJECT, T_MESSAGE) VALUES
(1002, 111, 4, 14, '20030109191542', 3, '20030112221538', 'N', 0, NULL, NULL,
'RxLib 在 Delphi 7 的安裝方式',
'RxLib 2.75 官方版沒有 Delphi 7 的 package，網路上有人修改過的版本，
安裝步驟整理如下：

1. 解壓縮到 C:\rxlib (路徑不要有空白)
2. 開 Units\RxCtl7.dpk，按 Compile (這是執行期的 package)
3. 開 Units\RxDB7.dpk、RxBDE7.dpk，一樣 Compile
4. 開 dclrx7.dpk、dclrxdb7.dpk、dclrxbd7.dpk，按 Install (設計期)
5. Tools -> Environment Options -> Library -> Library path 加上 C:\rxlib\units

裝完元件盤會多出 RX Controls、RX DBAware、RX Tools 三頁。
JEDI 的 JVCL 已經把 RxLib 收進去了，新專案也可以考慮用 JVCL：http://jvcl.sourceforge.net/');
INSERT INTO FORUM_REPLY (TOPIC_ID, REPLY_ID, R_AUTHOR, R_DATE, R_CODESYSTEM, R_MESSAGE) VALUES
(1002, 1, 5, '20030110191502', 0,
'照步驟裝好了，謝謝！'),
(1002, 2, 2, '20030110221558', 0,
'JVCL 3 把 RxLib 的元件改名成 Jv 開頭，舊的 dfm 要轉換，有提供轉換工具。'),
(1002, 3, 9, '20030112221538', 0,
'D7 裝完之後如果出現 [Fatal Error] Never-build package ''RxCtl7'' must be recompiled，
把 RxCtl7.dpk 的 Options 裡 Rebuild as needed 打勾就好。');

INSERT INTO FORUM_TOPICS (TOPIC_ID, FORUM_ID, CAT_ID, T_AUTHOR, T_DATE, T_REPLIES, T_LAST_POST, T_GOOD, T_CODESYSTEM,
  T_FILENAME, T_FILESIZE, T_SUBJECT, T_MESSAGE) VALUES
(1058, 111, 4, 12, '20031208165025', 3, '20031208200054', 'N', 0, NULL, NULL,
'TeeChart 即時曲線圖閃爍',
'用 TeeChart (Delphi 7 附的 Standard 版) 做即時的溫度曲線，
每 100 毫秒 AddXY 一點，超過 500 點就 Delete(0)，畫面閃得很厲害。');
INSERT INTO FORUM_REPLY (TOPIC_ID, REPLY_ID, R_AUTHOR, R_DATE, R_CODESYSTEM, R_MESSAGE) VALUES
(1058, 1, 3, '20031208173001', 0,
'先把 Chart1 的 BufferedDisplay 設成 True (雙緩衝)，
大量更新的時候用 Chart1.AutoRepaint := False 包起來，最後再 Chart1.Repaint。
Series 的 XValues.Order 設成 loNone 也會快很多。'),
(1058, 2, 12, '20031208193055', 0,
'BufferedDisplay 打開之後就不閃了，
不過點數多了 CPU 還是很高，100ms 更新一次是不是太頻繁了？'),
(1058, 3, 3, '20031208200054', 0,
'人眼其實看不出 100ms 跟 250ms 的差別，
資料照樣 100ms 收，畫面改成 250ms 或 500ms 更新一次就好。');

-- ==================== 112 原始碼分享區 ====================

INSERT INTO FORUM_TOPICS (TOPIC_ID, FORUM_ID, CAT_ID, T_AUTHOR, T_DATE, T_REPLIES, T_LAST_POST, T_GOOD, T_CODESYSTEM,
  T_FILENAME, T_FILESIZE, T_SUBJECT, T_MESSAGE) VALUES
(1008, 112, 42, 7, '20030211120019', 4, '20030214170031', 'Y', 1, 'gbbig5.zip', 15360,
gb('[分享] 简繁体 (GB/Big5) 互转的函数'),
gb('经常看到有人问 GB 码和 Big5 码怎么转换，我把自己项目里用的单元整理出来分享给大家。

原理是用一个对照表，两个字节一个字地查表转换，
ASCII 部分保持不变，表里没有对应的字用 ? 代替。

用法：
  S := GBToBig5(GBText);
  S := Big5ToGB(Big5Text);

附件里有完整的单元 (GBBig5.pas) 和对照表，Delphi 5/6/7 都可以编译。
有问题请回复，谢谢！'));
INSERT INTO FORUM_REPLY (TOPIC_ID, REPLY_ID, R_AUTHOR, R_DATE, R_CODESYSTEM, R_MESSAGE) VALUES
(1008, 1, 2, '20030211150059', 0,
'感謝分享！簡繁對照有些字是一對多 (例如頭髮的髮和發生的發，簡體是同一個字)，
表裡是怎麼處理的？'),
(1008, 2, 7, '20030211170033', 1,
gb('一对多的字只取最常用的那个，所以「头发」会被转成「頭發」，
要完全正确需要按词来转换，这个单元没有做到那么细。')),
(1008, 3, 9, '20030212170036', 0,
'很實用，已經用在我們的訂單系統了，大陸分公司傳來的資料終於看得懂 <img src=icon_smile_big.gif border=0>'),
(1008, 4, 13, '20030214170031', 1,
gb('支持一下！顺便提一下：Windows 2000/XP 也可以用 LCMapString 加 LCMAP_TRADITIONAL_CHINESE 做简繁转换，
不过要先用 MultiByteToWideChar 转成 Unicode。'));

INSERT INTO FORUM_TOPICS (TOPIC_ID, FORUM_ID, CAT_ID, T_AUTHOR, T_DATE, T_REPLIES, T_LAST_POST, T_GOOD, T_CODESYSTEM,
  T_FILENAME, T_FILESIZE, T_SUBJECT, T_MESSAGE) VALUES
(1027, 112, 42, 2, '20030624223039', 3, '20030626023038', 'Y', 0, 'qsort_pas.zip', 6144,
'[分享] 快速排序法 (QuickSort) 泛用版',
'寫了一個可以排任何資料的 QuickSort，比較和交換都用程序型別傳進來：

type
  TCompareFunc = function(I, J: Integer): Integer of object;
  TSwapProc = procedure(I, J: Integer) of object;

procedure QuickSort(L, R: Integer; Compare: TCompareFunc; Swap: TSwapProc);
var
  I, J, P: Integer;
begin
  repeat
    I := L;
    J := R;
    P := (L + R) shr 1;
    repeat
      while Compare(I, P) < 0 do Inc(I);
      while Compare(J, P) > 0 do Dec(J);
      if I <= J then
      begin
        if I <> J then Swap(I, J);
        if P = I then P := J else if P = J then P := I;
        Inc(I);
        Dec(J);
      end;
    until I > J;
    if L < J then QuickSort(L, J, Compare, Swap);
    L := I;
  until I >= R;
end;

注意 P 是索引不是值，交換的時候 P 指的元素被換走要跟著改，這是最容易寫錯的地方。
附件有測試程式，排 10 萬筆整數大約 0.1 秒 (P4 2.4G)。');
INSERT INTO FORUM_REPLY (TOPIC_ID, REPLY_ID, R_AUTHOR, R_DATE, R_CODESYSTEM, R_MESSAGE) VALUES
(1027, 1, 14, '20030625223042', 0,
'P 跟著交換那一行很關鍵，之前自己寫的版本偶爾會排錯就是少了這個。'),
(1027, 2, 4, '20030626013033', 0,
'請問跟 TList.Sort 比起來哪個快？'),
(1027, 3, 2, '20030626023038', 0,
'TList.Sort 內部也是 QuickSort，速度差不多。
這個版本的好處是可以排任何結構 (例如兩個陣列要一起交換)，不限於 TList。');

INSERT INTO FORUM_TOPICS (TOPIC_ID, FORUM_ID, CAT_ID, T_AUTHOR, T_DATE, T_REPLIES, T_LAST_POST, T_GOOD, T_CODESYSTEM,
  T_FILENAME, T_FILESIZE, T_SUBJECT, T_MESSAGE) VALUES
(1044, 112, 42, 9, '20030930084004', 2, '20031001104005', 'N', 0, NULL, NULL,
'[分享] INI 設定檔讀寫類別',
'把常用的設定存取包成一個類別，用 published 屬性配合 RTTI 自動讀寫 INI，
新增設定只要加一個屬性就好，不用改讀寫的程式碼。

procedure TSettings.Load(const FileName: string);
var
  Ini: TIniFile;
  Props: PPropList;
  I, Count: Integer;
begin
  Ini := TIniFile.Create(FileName);
  try
    Count := GetPropList(Self, Props);
    try
      for I := 0 to Count - 1 do
        SetPropValue(Self, Props[I].Name,
          Ini.ReadString(''Settings'', Props[I].Name, GetPropValue(Self, Props[I].Name)));
    finally
      FreeMem(Props);
    end;
  finally
    Ini.Free;
  end;
end;

Save 就是反過來用 WriteString。');
INSERT INTO FORUM_REPLY (TOPIC_ID, REPLY_ID, R_AUTHOR, R_DATE, R_CODESYSTEM, R_MESSAGE) VALUES
(1044, 1, 2, '20031001084033', 0,
'用 RTTI 的想法很好。注意 GetPropList 在 D5 跟 D6 以後的宣告不一樣，D5 要先 GetTypeData 取得數量。'),
(1044, 2, 9, '20031001104005', 0,
'感謝提醒，我只有在 D7 測過。');

INSERT INTO FORUM_TOPICS (TOPIC_ID, FORUM_ID, CAT_ID, T_AUTHOR, T_DATE, T_REPLIES, T_LAST_POST, T_GOOD, T_CODESYSTEM,
  T_FILENAME, T_FILESIZE, T_SUBJECT, T_MESSAGE) VALUES
(1051, 112, 42, 11, '20031103131344', 3, '20031104161337', 'N', 0, NULL, NULL,
'[分享] 中文數字大寫轉換 (金額)',
'做發票和支票列印常常要把金額轉成中文大寫，例如 12305 要印成「壹萬貳仟參佰零伍元整」，
寫了一個函式分享：

function MoneyToChinese(Value: Int64): string;
const
  Digits: array[0..9] of string = (''零'', ''壹'', ''貳'', ''參'', ''肆'', ''伍'', ''陸'', ''柒'', ''捌'', ''玖'');
  Units: array[0..3] of string = ('''', ''拾'', ''佰'', ''仟'');
  Groups: array[0..2] of string = ('''', ''萬'', ''億'');
var
  S: string;
  I, D, Len: Integer;
  Zero: Boolean;
begin
  S := IntToStr(Value);
  Len := Length(S);
  Result := '''';
  Zero := False;
  for I := 1 to Len do
  begin
    D := Ord(S[I]) - Ord(''0'');
    if D = 0 then
      Zero := True
    else
    begin
      if Zero then Result := Result + Digits[0];
      Zero := False;
      Result := Result + Digits[D] + Units[(Len - I) mod 4];
    end;
    if ((Len - I) mod 4 = 0) and ((Len - I) div 4 > 0) then
      Result := Result + Groups[(Len - I) div 4];
  end;
  Result := Result + ''元整'';
end;');
INSERT INTO FORUM_REPLY (TOPIC_ID, REPLY_ID, R_AUTHOR, R_DATE, R_CODESYSTEM, R_MESSAGE) VALUES
(1051, 1, 4, '20031103151350', 0,
'測了一下 100000000 會變成「壹億萬元整」，多了一個萬。'),
(1051, 2, 11, '20031103161339', 0,
'對耶，整組都是零的時候不應該加「萬」，我再修改一下，謝謝指正！'),
(1051, 3, 14, '20031104161337', 0,
'另外 0 元會印出「元整」，應該要特別處理成「零元整」。');

-- ==================== 113 Delphi 8 for .NET ====================

INSERT INTO FORUM_TOPICS (TOPIC_ID, FORUM_ID, CAT_ID, T_AUTHOR, T_DATE, T_REPLIES, T_LAST_POST, T_GOOD, T_CODESYSTEM,
  T_FILENAME, T_FILESIZE, T_SUBJECT, T_MESSAGE) VALUES
(1061, 113, 52, 9, '20031226222003', 4, '20031231012048', 'N', 0, NULL, NULL,
'Delphi 8 試用心得',
'下載了 Delphi 8 for .NET 的試用版玩了幾天，說一下感想：

1. IDE 改成跟 C#Builder 一樣的介面，元件盤在右下角，一開始很不習慣。
2. VCL.NET 可以把舊的 VCL 程式搬過來，簡單的表單改一下 uses 就能編譯。
3. 指標、GetMem、absolute 這些在 .NET 是 unsafe 的，舊程式用很多的話要改不少。
4. 編譯速度還是很快，但啟動時間比 Win32 程式慢 (JIT)。

整體來說如果不打算轉 .NET，Delphi 7 還是比較實用。');
INSERT INTO FORUM_REPLY (TOPIC_ID, REPLY_ID, R_AUTHOR, R_DATE, R_CODESYSTEM, R_MESSAGE) VALUES
(1061, 1, 2, '20031226232057', 0,
'同感，IDE 的速度比 D7 慢很多，我的 P3 800 開起來要快一分鐘 <img src=icon_smile_sad.gif border=0>'),
(1061, 2, 14, '20031227232028', 0,
'請問 BDE 在 D8 還能用嗎？舊案子都是 Paradox…'),
(1061, 3, 9, '20031228012053', 0,
'VCL.NET 有 BDE.NET 可以用，但只是過渡，新程式建議 ADO.NET 或 BDP (Borland Data Provider)。'),
(1061, 4, 5, '20031231012048', 0,
'看了大家的心得，決定先把 D7 學好再說 XD');

INSERT INTO FORUM_TOPICS (TOPIC_ID, FORUM_ID, CAT_ID, T_AUTHOR, T_DATE, T_REPLIES, T_LAST_POST, T_GOOD, T_CODESYSTEM,
  T_FILENAME, T_FILESIZE, T_SUBJECT, T_MESSAGE) VALUES
(1064, 113, 52, 12, '20040116100555', 3, '20040117150557', 'N', 0, NULL, NULL,
'VCL.NET 和 WinForms 該選哪一個？',
'公司考慮把一個 Delphi 6 的專案搬到 .NET，
Delphi 8 可以用 VCL.NET 也可以用 WinForms，該怎麼選？');
INSERT INTO FORUM_REPLY (TOPIC_ID, REPLY_ID, R_AUTHOR, R_DATE, R_CODESYSTEM, R_MESSAGE) VALUES
(1064, 1, 2, '20040116120540', 0,
'要盡量沿用舊程式碼就選 VCL.NET，可以保留 dfm 和大部分的事件程式。
全新開發、要跟 C# 的同事共用元件的話，WinForms 比較合適。'),
(1064, 2, 3, '20040117120546', 0,
'另外也要考慮第三方元件：舊的 VCL 元件沒有原始碼的話，VCL.NET 也用不了。'),
(1064, 3, 12, '20040117150557', 0,
'我們的元件大部分有原始碼，先用 VCL.NET 試著編譯看看，謝謝兩位。');

-- ==================== 114 C#Builder 討論 ====================

INSERT INTO FORUM_TOPICS (TOPIC_ID, FORUM_ID, CAT_ID, T_AUTHOR, T_DATE, T_REPLIES, T_LAST_POST, T_GOOD, T_CODESYSTEM,
  T_FILENAME, T_FILESIZE, T_SUBJECT, T_MESSAGE) VALUES
(1040, 114, 5, 15, '20030904113037', 3, '20030905163034', 'N', 0, NULL, NULL,
'C#Builder Personal 版可以拿來開發商業軟體嗎？',
'Borland 網站上可以免費下載 C#Builder Personal，
請問用它寫的程式可以賣嗎？授權上有沒有限制？');
INSERT INTO FORUM_REPLY (TOPIC_ID, REPLY_ID, R_AUTHOR, R_DATE, R_CODESYSTEM, R_MESSAGE) VALUES
(1040, 1, 9, '20030904133000', 0,
'Personal 版的授權是不能用於商業用途的，要商業用途至少要買 Professional。
詳細的授權條款安裝目錄裡有 license.txt，下載頁面也有寫：
http://www.borland.com/csharpbuilder/'),
(1040, 2, 15, '20030904163026', 0,
'Thanks kevin. 看來要跟老闆申請預算了 <img src=icon_smile_wink.gif border=0>'),
(1040, 3, 3, '20030905163034', 0,
'如果只是學 C#，微軟的 .NET Framework SDK 是免費的，用命令列 csc 編譯也可以商業使用。');

INSERT INTO FORUM_TOPICS (TOPIC_ID, FORUM_ID, CAT_ID, T_AUTHOR, T_DATE, T_REPLIES, T_LAST_POST, T_GOOD, T_CODESYSTEM,
  T_FILENAME, T_FILESIZE, T_SUBJECT, T_MESSAGE) VALUES
(1046, 114, 5, 15, '20031009154530', 2, '20031009184516', 'N', 0, NULL, NULL,
'C# 讀取 Access 資料庫 (OleDb)',
'剛從 Delphi 轉 C#，想讀 Access 的資料表顯示在 DataGrid 上，
OleDbConnection 開得起來，但 DataGrid 一直是空的。');
INSERT INTO FORUM_REPLY (TOPIC_ID, REPLY_ID, R_AUTHOR, R_DATE, R_CODESYSTEM, R_MESSAGE) VALUES
(1046, 1, 9, '20031009164547', 0,
'DataAdapter 要 Fill 到 DataSet，再把 DataGrid 的 DataSource 指過去：

OleDbDataAdapter da = new OleDbDataAdapter("select * from Customer", conn);
DataSet ds = new DataSet();
da.Fill(ds, "Customer");
dataGrid1.DataSource = ds.Tables["Customer"];

連線字串跟 ADO 一樣，可以參考這篇：http://www.velm.org.tw/topic.asp?topic_id=1003'),
(1046, 2, 15, '20031009184516', 0,
'少了 Fill 那一步，現在可以看到資料了，thanks!');

-- ==================== 115 站務公告 ====================

INSERT INTO FORUM_TOPICS (TOPIC_ID, FORUM_ID, CAT_ID, T_AUTHOR, T_DATE, T_REPLIES, T_LAST_POST, T_GOOD, T_CODESYSTEM,
  T_FILENAME, T_FILESIZE, T_SUBJECT, T_MESSAGE) VALUES
(1001, 115, 9, 1, '20030106090059', 0, '20030106090059', 'Y', 0, NULL, NULL,
'發文規則 (請先閱讀)',
'歡迎來到 Velm 程式設計論壇，發問之前請先看一下：

1. 標題請寫清楚問題，例如「ADOQuery 參數查詢 LIKE 要怎麼寫」，不要只寫「救命」、「急！」。
2. 請註明開發工具和版本 (Delphi 7、BCB 6、Kylix 3…) 以及作業系統。
3. 錯誤訊息請完整貼上，最好附上相關的程式碼。
4. 先用站內搜尋找找看，很多問題已經有人問過了。
5. 問題解決了請回覆一下解決方法，讓後來的人參考。
6. 禁止張貼商業廣告與破解軟體，違者刪文。

貼網址請用 [url=http://www.velm.org.tw/]Velm 論壇[/url] 這樣的格式，或是直接貼 http:// 開頭的網址。
感謝大家的配合 <img src=icon_smile.gif border=0>');

INSERT INTO FORUM_TOPICS (TOPIC_ID, FORUM_ID, CAT_ID, T_AUTHOR, T_DATE, T_REPLIES, T_LAST_POST, T_GOOD, T_CODESYSTEM,
  T_FILENAME, T_FILESIZE, T_SUBJECT, T_MESSAGE) VALUES
(1039, 115, 9, 1, '20030829180026', 2, '20030908180052', 'N', 0, NULL, NULL,
'本站主機搬遷公告',
'本站將於 9 月 6 日 (星期六) 晚上 10 點到 9 月 7 日早上 8 點進行主機搬遷，
期間論壇將暫停服務，造成不便敬請見諒。

搬遷之後網址不變，仍然是 http://www.velm.org.tw/ ，
如果連不上請先清除瀏覽器的快取，或等待 DNS 更新 (最多一天)。');
INSERT INTO FORUM_REPLY (TOPIC_ID, REPLY_ID, R_AUTHOR, R_DATE, R_CODESYSTEM, R_MESSAGE) VALUES
(1039, 1, 6, '20030830180009', 0,
'辛苦站長了！'),
(1039, 2, 1, '20030908180052', 0,
'主機已搬遷完成，速度應該會比以前快，有問題請在這裡回報。');

INSERT INTO FORUM_TOPICS (TOPIC_ID, FORUM_ID, CAT_ID, T_AUTHOR, T_DATE, T_REPLIES, T_LAST_POST, T_GOOD, T_CODESYSTEM,
  T_FILENAME, T_FILESIZE, T_SUBJECT, T_MESSAGE) VALUES
(1065, 115, 9, 1, '20040120120034', 3, '20040121170020', 'Y', 0, NULL, NULL,
'論壇離線瀏覽器 Velm Reader 1.6 發佈',
'Velm Reader 1.6 已經發佈，可以在沒有網路的時候瀏覽論壇的文章：

1. 依分類樹瀏覽所有討論區與文章
2. 快速搜尋與進階搜尋 (可以指定討論區、作者、日期)
3. 簡體 (GB) 發表的文章自動轉成繁體顯示
4. 每週的補充包可以線上更新，也可以下載後手動匯入

下載與說明：[url=http://www.velm.org.tw/velmpack/index.html]Velm Reader 首頁[/url]
黃金文章區的精華文章也都收錄在資料庫裡，例如 http://www.velm.org.tw/link.asp?topic_id=1003');
INSERT INTO FORUM_REPLY (TOPIC_ID, REPLY_ID, R_AUTHOR, R_DATE, R_CODESYSTEM, R_MESSAGE) VALUES
(1065, 1, 2, '20040120140057', 0,
'推！終於可以在捷運上看論壇了 <img src=icon_smile_big.gif border=0>'),
(1065, 2, 13, '20040121140028', 1,
gb('请问简体的帖子显示出来是繁体的吗？会不会有乱码？')),
(1065, 3, 1, '20040121170020', 0,
'GB 碼的文章會自動轉成 Big5 顯示，少數 Big5 沒有的字會變成問號。');

INSERT INTO FORUM_TOPICS (TOPIC_ID, FORUM_ID, CAT_ID, T_AUTHOR, T_DATE, T_REPLIES, T_LAST_POST, T_GOOD, T_CODESYSTEM,
  T_FILENAME, T_FILESIZE, T_SUBJECT, T_MESSAGE) VALUES
(1067, 115, 9, 1, '20040131090011', 0, '20040131090011', 'N', 0, NULL, NULL,
'補充包 2004年05週 已上線',
'本週的補充包已經放上下載伺服器，收錄 1 月 24 日到 1 月 30 日的文章。
Velm Reader 會自動檢查更新，也可以從選單手動執行線上更新。');

-- ==================== 116 閒聊區 ====================

INSERT INTO FORUM_TOPICS (TOPIC_ID, FORUM_ID, CAT_ID, T_AUTHOR, T_DATE, T_REPLIES, T_LAST_POST, T_GOOD, T_CODESYSTEM,
  T_FILENAME, T_FILESIZE, T_SUBJECT, T_MESSAGE) VALUES
(1013, 116, 92, 5, '20030314225049', 5, '20030317045033', 'N', 0, NULL, NULL,
'大家的 Delphi 學習路線？',
'學 Delphi 三個月了，會拉元件寫一些小程式，
可是遇到問題常常不知道從哪裡找答案，想請問各位前輩當初是怎麼學的？有推薦的書嗎？');
INSERT INTO FORUM_REPLY (TOPIC_ID, REPLY_ID, R_AUTHOR, R_DATE, R_CODESYSTEM, R_MESSAGE) VALUES
(1013, 1, 2, '20030314235026', 0,
'先把 Object Pascal 的語法弄熟 (class、interface、例外處理)，
再看 VCL 的原始碼，很多問題看原始碼就懂了，
Delphi 的 source\vcl 目錄就有，這是 Delphi 最大的寶藏。'),
(1013, 2, 14, '20030315015018', 0,
'書的話推薦 Marco Cantu 的 Mastering Delphi，還有李維的書。'),
(1013, 3, 9, '20030316015055', 0,
'多逛論壇、多回答別人的問題，回答的過程自己也會學到很多。
精華區的文章也很值得看，例如這篇：http://www.velm.org.tw/topic.asp?TOPIC_ID=1011'),
(1013, 4, 6, '20030316045025', 0,
'還有英文要顧好，很多資料只有英文的 (Borland 的新聞群組、Torry''s Delphi Pages)。'),
(1013, 5, 5, '20030317045033', 0,
'謝謝各位！先從 Object Pascal 的語法開始補強 <img src=icon_smile_blush.gif border=0>');

INSERT INTO FORUM_TOPICS (TOPIC_ID, FORUM_ID, CAT_ID, T_AUTHOR, T_DATE, T_REPLIES, T_LAST_POST, T_GOOD, T_CODESYSTEM,
  T_FILENAME, T_FILESIZE, T_SUBJECT, T_MESSAGE) VALUES
(1056, 116, 92, 4, '20031128231027', 3, '20031130041033', 'N', 0, NULL, NULL,
'Borland 台灣研討會心得',
'今天去聽了 Borland 的研討會，主要介紹 Delphi 8 for .NET 和 C#Builder，
現場 Demo 把 VCL 程式搬到 .NET 只花了幾分鐘，不過都是很簡單的範例。
會後問了講師 Delphi 7 之後 Win32 還會不會繼續出新版，回答是會繼續支援。');
INSERT INTO FORUM_REPLY (TOPIC_ID, REPLY_ID, R_AUTHOR, R_DATE, R_CODESYSTEM, R_MESSAGE) VALUES
(1056, 1, 3, '20031129011024', 0,
'.NET 是趨勢，但短期內 Win32 的案子還是主流。'),
(1056, 2, 10, '20031130011019', 0,
'有拿到試用版光碟嗎？'),
(1056, 3, 4, '20031130041033', 0,
'有，每個人一片 Delphi 8 試用版，還有 T 恤 XD');

INSERT INTO FORUM_TOPICS (TOPIC_ID, FORUM_ID, CAT_ID, T_AUTHOR, T_DATE, T_REPLIES, T_LAST_POST, T_GOOD, T_CODESYSTEM,
  T_FILENAME, T_FILESIZE, T_SUBJECT, T_MESSAGE) VALUES
(1005, 116, 92, 7, '20030122203002', 4, '20030124023030', 'N', 1, NULL, NULL,
gb('大陆 Delphi 程序员来打个招呼'),
gb('大家好！我在上海做 Delphi 开发，平时用简体 Windows，
偶然发现这个论坛，技术气氛很好，以后会常来学习。
如果有繁体/简体用词不同看不懂的地方，请多包涵，
例如我们说「数据库」，台湾好像说「資料庫」？'));
INSERT INTO FORUM_REPLY (TOPIC_ID, REPLY_ID, R_AUTHOR, R_DATE, R_CODESYSTEM, R_MESSAGE) VALUES
(1005, 1, 2, '20030122213009', 0,
'歡迎！對，資料庫、程式、元件、執行緒，你們是數據庫、程序、控件、線程 <img src=icon_smile.gif border=0>'),
(1005, 2, 13, '20030123003032', 1,
gb('同来自大陆 (北京)，也来打个招呼。我们这边叫「源代码」，你们叫「原始碼」。')),
(1005, 3, 9, '20030124003043', 0,
'歡迎歡迎，兩岸一起交流！'),
(1005, 4, 7, '20030124023030', 1,
gb('谢谢大家的欢迎，以后请多指教！'));

-- ==================== 117 求職與求才 ====================

INSERT INTO FORUM_TOPICS (TOPIC_ID, FORUM_ID, CAT_ID, T_AUTHOR, T_DATE, T_REPLIES, T_LAST_POST, T_GOOD, T_CODESYSTEM,
  T_FILENAME, T_FILESIZE, T_SUBJECT, T_MESSAGE) VALUES
(1048, 117, 92, 1, '20031020100002', 2, '20031021120002', 'N', 0, NULL, NULL,
'[求才] 台北 Delphi 程式設計師 2 名',
'(站長代貼)
公司：某系統整合公司 (台北市內湖區)
職務：Delphi 程式設計師 2 名
條件：
1. 熟悉 Delphi 5 以上，有資料庫 (MS SQL Server) 程式開發經驗
2. 有 ERP 或 POS 系統開發經驗者優先
3. 具備 Socket 程式設計經驗者佳
待遇：面議
有意者請將履歷寄到 hr@example.com.tw');
INSERT INTO FORUM_REPLY (TOPIC_ID, REPLY_ID, R_AUTHOR, R_DATE, R_CODESYSTEM, R_MESSAGE) VALUES
(1048, 1, 10, '20031021100019', 0,
'請問可以接受應屆畢業生嗎？'),
(1048, 2, 1, '20031021120002', 0,
'已轉寄給對方，請直接寄履歷，由公司回覆。');

INSERT INTO FORUM_TOPICS (TOPIC_ID, FORUM_ID, CAT_ID, T_AUTHOR, T_DATE, T_REPLIES, T_LAST_POST, T_GOOD, T_CODESYSTEM,
  T_FILENAME, T_FILESIZE, T_SUBJECT, T_MESSAGE) VALUES
(1066, 117, 92, 12, '20040127211547', 1, '20040128211510', 'N', 0, NULL, NULL,
'[求職] 三年 BCB 經驗，熟悉串列埠通訊',
'求職：程式設計師
經歷：三年 C++ Builder 開發經驗，做過工廠的資料收集系統 (RS-232/RS-485)，
熟悉 TThread、Socket、SQL Server。
希望地點：桃園、新竹
可以寄站內信或 email：sam_lee@ksts.seed.net.tw');
INSERT INTO FORUM_REPLY (TOPIC_ID, REPLY_ID, R_AUTHOR, R_DATE, R_CODESYSTEM, R_MESSAGE) VALUES
(1066, 1, 3, '20040128211510', 0,
'推！看過 sam 在 BCB 版的發問，很認真 <img src=icon_smile.gif border=0>');

-- The forum kept CR LF line breaks; the posts above are written with plain ones.
UPDATE FORUM_TOPICS SET T_MESSAGE = replace(replace(T_MESSAGE, char(13, 10), char(10)), char(10), char(13, 10));
UPDATE FORUM_REPLY SET R_MESSAGE = replace(replace(R_MESSAGE, char(13, 10), char(10)), char(10), char(13, 10));
